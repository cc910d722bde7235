# Package installs that survive a mirror out of step. Sourced by the set-up
# scripts (Debian/Ubuntu, as root or through sudo).
#
# A mirror in the middle of a sync fails the refresh of one index while the
# others are fine; the packages wanted are then usually still to be had, so
# a failed refresh is tried again a few times and then only reported. What
# fails is the install itself, with one line naming what could not be had.

apt_sudo=""
if [ "$(id -u)" -ne 0 ]; then
  apt_sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive

# The packages of "$@" that are not installed, one per line.
apt_missing() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

apt_can_install() {
  [ -z "$apt_sudo" ] || command -v sudo >/dev/null || {
    echo "Need root or sudo to install: $*" >&2
    return 1
  }
}

# Refreshes the package lists; never fails.
apt_refresh() {
  local tries=${APT_REFRESH_TRIES:-3} i out
  for i in $(seq "$tries"); do
    if out=$($apt_sudo apt-get update -qq 2>&1); then
      return 0
    fi
    [ "$i" -lt "$tries" ] && sleep $((2 * i))
  done
  echo "WARNING: the package lists could not all be refreshed; installing from those there are:" >&2
  printf '%s\n' "$out" | grep -E '^(E|W):' | head -n 5 | sed 's/^/  /' >&2
  return 0
}

# Installs "$@" (those missing) from the lists there are. On failure each
# package is tried alone so that the one line printed names exactly those
# that could not be had, with apt's reason.
apt_install() {
  local missing
  mapfile -t missing < <(apt_missing "$@")
  [ ${#missing[@]} -eq 0 ] && return 0
  apt_can_install "${missing[@]}" || return 1
  echo "Installing: ${missing[*]}"
  if [ "${apt_refreshed:-0}" = 0 ]; then
    apt_refresh
    apt_refreshed=1
  fi
  $apt_sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null 2>&1 && return 0
  local p out reason failed=()
  for p in "${missing[@]}"; do
    out=$($apt_sudo apt-get install -y -qq --no-install-recommends "$p" 2>&1 >/dev/null) && continue
    reason=$(printf '%s\n' "$out" | grep -E '^E:' | head -n 1 | sed 's/^E: *//')
    failed+=("$p (${reason:-apt-get install failed})")
  done
  [ ${#failed[@]} -eq 0 ] && return 0
  local list
  list=$(printf '%s; ' "${failed[@]}")
  echo "Could not install: ${list%; }" >&2
  return 1
}
