#!/usr/bin/env bash
# With EGL hidden, a GL test skips with its reason when run by hand and fails
# when the full run requires GL: a broken machine cannot pass by skipping.
set -u
test_gl=$1
filter=RenderTargets.DemoTargetsAreCompleteAndLoggedInOrder
export __EGL_VENDOR_LIBRARY_FILENAMES=/dev/null

out=$(NPR_REQUIRE_GL=1 "$test_gl" --gtest_filter="$filter" 2>&1)
if [ $? -eq 0 ] || ! grep -q "no headless GL" <<<"$out"; then
  echo "FAIL: EGL hidden, NPR_REQUIRE_GL=1: the GL test did not fail with its reason"
  echo "$out"
  exit 1
fi

out=$(env -u NPR_REQUIRE_GL "$test_gl" --gtest_filter="$filter" 2>&1)
if [ $? -ne 0 ] || ! grep -q "\[  SKIPPED \] $filter" <<<"$out"; then
  echo "FAIL: EGL hidden, run by hand: the GL test did not skip"
  echo "$out"
  exit 1
fi
echo "hidden EGL: fails when required, skips otherwise"
