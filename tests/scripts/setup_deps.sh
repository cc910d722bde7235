#!/usr/bin/env bash
# scripts/setup-deps on a machine whose package sources are not all in step:
# with an extra source that cannot be reached and one caught in the middle of
# a sync (its index not the size its release file says, which fails the
# refresh), a missing package is still installed, and a package no source
# has fails with one line naming it.
# Changes the machine's packages: run as root (scripts/test does).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP setup-deps table: needs root"
  exit 0
fi

probe=hello   # small, and nothing of ours needs it
sources=/etc/apt/sources.list.d/npr-out-of-step-test.list
fetcher=/etc/apt/apt.conf.d/99npr-out-of-step-test
mirror=$(mktemp -d)
was_installed=0
dpkg-query -W -f='${Status}' "$probe" 2>/dev/null | grep -q "install ok installed" && was_installed=1
fail() { echo "FAIL setup-deps table: $*" >&2; exit 1; }

server=""
cleanup() {
  rm -f "$sources" "$fetcher"
  [ -z "$server" ] || kill "$server" 2>/dev/null || true
  rm -rf "$mirror"
  [ $was_installed = 1 ] || apt-get remove -y -qq "$probe" >/dev/null 2>&1 || true
}
trap cleanup EXIT
[ $was_installed = 0 ] || apt-get remove -y -qq "$probe" >/dev/null
# A mirror mid-sync: its release file promises an index of another size.
mkdir -p "$mirror/dists/stale/main/binary-amd64"
echo "Package: npr-stale" >"$mirror/dists/stale/main/binary-amd64/Packages"
cat >"$mirror/dists/stale/Release" <<RELEASE
Suite: stale
Codename: stale
Architectures: amd64
Components: main
Date: $(date -u -R)
SHA256:
 0000000000000000000000000000000000000000000000000000000000000000 999 main/binary-amd64/Packages
RELEASE
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server --bind 127.0.0.1 --directory "$mirror" "$port" >/dev/null 2>&1 &
server=$!
for _ in $(seq 50); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 1)" 2>/dev/null && break
  sleep 0.1
done
# The mirror is on loopback, which apt's unprivileged fetcher may not reach.
echo 'APT::Sandbox::User "root";' >"$fetcher"
# Port 9 on loopback refuses at once (another address: apt gives up on a
# host after one refusal).
cat >"$sources" <<LIST
deb [trusted=yes] http://127.0.0.2:9/debian bookworm main
deb [trusted=yes] http://127.0.0.1:$port stale main
LIST
apt-get update -qq >/dev/null 2>&1 && fail "the out-of-step source did not fail the refresh"

out=$(APT_REFRESH_TRIES=2 "$root/scripts/setup-deps" "$probe" 2>&1) ||
  fail "a missing package was not installed past an unreachable source: $out"
dpkg-query -W -f='${Status}' "$probe" | grep -q "install ok installed" || fail "$probe not installed"
grep -q "^WARNING: the package lists could not all be refreshed" <<<"$out" ||
  fail "the failed refresh was not reported: $out"
echo "PASS setup-deps: installs past an unreachable package source"

status=0
out=$(APT_REFRESH_TRIES=1 "$root/scripts/setup-deps" npr-no-such-package 2>&1) || status=$?
[ $status != 0 ] || fail "a package no source has was reported as installed"
line=$(grep '^Could not install:' <<<"$out") || fail "no line naming what failed: $out"
grep -q 'npr-no-such-package (.*locate package' <<<"$line" || fail "the line does not say why: $line"
echo "PASS setup-deps: a package that cannot be had fails with one line naming it"
