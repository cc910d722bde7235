# Drives the real program as a person would, on a private Xvfb: start it,
# find its windows, answer its boxes, press keys, wait for it to end.
# Sourced by scripts/run, scripts/test-windows and the end-to-end tests.
#
#   start_xvfb WxH              a private screen; exports DISPLAY
#   use_copy_of DIR             the program runs in a scratch copy of DIR
#   start_program CMD...        starts CMD in $program_dir; sets demo_pid
#   wait_window NAME            the id of the first window called NAME
#   answer_box ID KEY [NAME]    presses KEY until the box goes
#   press ID KEY                taps KEY (held ${hold:-0.05} seconds)
#   hold_key_until ID KEY CMD   holds KEY until CMD succeeds
#   wait_exit                   waits for the end; exit status in $status
#   wait_log TEXT               waits for an entry of Log.txt holding TEXT
#
# wait_tenths (300) bounds every wait, in tenths of a second; program_dir is
# where the program runs and where fail looks for its Log.txt; a function
# drive_cleanup, if defined, runs at exit before the screen goes.
set -euo pipefail

title="Pencil NPR Demo - [https://example.org/pencil-npr]"
work=$(mktemp -d)
program_dir=$work
demo_pid=""
xvfb_pid=""
wait_tenths=${wait_tenths:-300}

cleanup() {
  [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null || true
  if declare -F drive_cleanup >/dev/null; then drive_cleanup || true; fi
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  [ -f "$program_dir/Log.txt" ] && { echo "--- Log.txt"; cat "$program_dir/Log.txt"; } >&2
  [ -f "$work/stderr.txt" ] && { echo "--- stderr"; tail -40 "$work/stderr.txt"; } >&2
  if [ -n "${failure_screenshot:-}" ]; then
    timeout 20 import -window root "$failure_screenshot" 2>/dev/null || true
  fi
  exit 1
}

start_xvfb() {
  local fdfile="$work/display"
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$fdfile" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  [ -s "$fdfile" ] || fail "Xvfb did not start"
  export DISPLAY=":$(head -1 "$fdfile")"
}

use_copy_of() {
  program_dir=$work/program
  mkdir -p "$program_dir"
  cp -r "$1"/. "$program_dir"
  rm -f "$program_dir/Log.txt"
}

start_program() {
  (cd "$program_dir" && exec "$@" 2>>"$work/stderr.txt") &
  demo_pid=$!
}

program_ended() { ! kill -0 "$demo_pid" 2>/dev/null; }
window_gone() { ! xwininfo -id "$1" >/dev/null 2>&1; }

# Prints the id of the first top-level window whose name is exactly $1.
# xwininfo fails when a window goes away while it lists the tree, or when awk
# stops reading at the first match; neither is the caller's error (under
# set -e and pipefail it would end the script).
find_window() {
  { xwininfo -root -tree 2>/dev/null || true; } |
    awk -v name="\"$1\":" 'index($0, name) { print $1; exit }'
}

wait_window() {
  local name=$1 id=""
  for _ in $(seq "$wait_tenths"); do
    id=$(find_window "$name")
    [ -n "$id" ] && { echo "$id"; return 0; }
    program_ended && fail "program ended while waiting for \"$name\""
    sleep 0.1
  done
  fail "no window \"$name\""
}

wait_gone() {
  for _ in $(seq "$wait_tenths"); do
    window_gone "$1" && return 0
    sleep 0.1
  done
  fail "window $1 did not go away"
}

# xdotool, tried again when the display refuses it the connection: a busy
# Xvfb has been seen to refuse one now and then (the program tries again
# too), which is no fault of the program under test.
xdotool() {
  local status attempt
  for attempt in 1 2 3 4 5; do
    status=0
    command xdotool "$@" 2>"$work/xdotool.err" || status=$?
    grep -q "Can't open display" "$work/xdotool.err" || break
    sleep 0.2
  done
  cat "$work/xdotool.err" >&2
  return $status
}

focus() {
  timeout 5 xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1" 2>/dev/null || true
}

# Focuses the window and taps the key as a person does (held 0.05 s, or
# $hold): a tap shorter than a frame must still reach the demo.
press() {
  local id=$1 key=$2
  focus "$id"
  sleep 0.2
  xdotool keydown "$key"
  sleep "${hold:-0.05}"
  xdotool keyup "$key"
}

# Holds a key down until the condition command succeeds (the program sees
# keys only between frames, and a software-rendered frame can take a
# while), then lets it go.
hold_key_until() {
  local id=$1 key=$2
  shift 2
  focus "$id"
  xdotool keydown "$key"
  local ok=1
  for _ in $(seq "$wait_tenths"); do
    if "$@"; then
      ok=0
      break
    fi
    sleep 0.1
  done
  xdotool keyup "$key" 2>/dev/null || true
  return $ok
}

# Answers a message box with a key, again until it goes: a box found as soon
# as its window exists may not take keys yet. Given a name, the box also
# counts as gone once no window of that name is left (Wine may replace the
# X window of a box).
answer_box() {
  local box=$1 key=$2 name=${3:-}
  for _ in $(seq 60); do
    focus "$box"
    xdotool key "$key" 2>/dev/null || true
    for _ in $(seq 10); do
      window_gone "$box" && return 0
      [ -n "$name" ] && [ -z "$(find_window "$name")" ] && return 0
      sleep 0.1
    done
  done
  fail "the box $box did not take the key $key"
}

client_size() {
  xwininfo -id "$1" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'
}

# Waits for the program to end; its exit status is left in $status.
wait_exit() {
  for _ in $(seq "$wait_tenths"); do
    program_ended && break
    sleep 0.1
  done
  program_ended || fail "program did not end"
  status=0
  wait "$demo_pid" || status=$?
  demo_pid=""
}

# Waits for an entry of Log.txt that holds $1.
wait_log() {
  local entry=$1
  for _ in $(seq "$wait_tenths"); do
    grep -qF -- "$entry" "$program_dir/Log.txt" 2>/dev/null && return 0
    program_ended && fail "program ended while waiting for \"$entry\" in Log.txt"
    sleep 0.1
  done
  fail "no \"$entry\" in Log.txt"
}
