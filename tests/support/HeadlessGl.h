// The GL tests' guard around the headless context.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tools/headless/HeadlessGl.h"

// Where no headless context can be made the test skips with the reason, or
// fails with it when NPR_REQUIRE_GL is set, so a machine without working EGL
// cannot pass the GL tests by skipping them.
#define REQUIRE_HEADLESS_GL()                                            \
  do {                                                                   \
    std::string reason_;                                                 \
    if (!HeadlessGl::ensure(1024, 768, &reason_)) {                      \
      if (headlessGlRequired()) FAIL() << "no headless GL: " << reason_; \
      GTEST_SKIP() << reason_;                                           \
    }                                                                    \
  } while (0)
