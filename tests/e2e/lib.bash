# Shared steps of the end-to-end tests: a private Xvfb, a private copy of the
# runnable folder, and the moves a person makes (answer boxes, press keys).
set -euo pipefail

demo_bin=$1
x11_close=${2:-}
demo_dir=$(cd "$(dirname "$demo_bin")" && pwd)
work=$(mktemp -d)
cp -r "$demo_dir"/. "$work"
rm -f "$work/Log.txt"
demo_pid=""
xvfb_pid=""

cleanup() {
  [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/Log.txt" ] && { echo "--- Log.txt"; cat "$work/Log.txt"; } >&2
  [ -f "$work/stderr.txt" ] && { echo "--- stderr"; cat "$work/stderr.txt"; } >&2
  exit 1
}

start_xvfb() {
  local fdfile="$work/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  [ -s "$fdfile" ] || fail "Xvfb did not start"
  export DISPLAY=":$(head -1 "$fdfile")"
}

start_demo() {
  (cd "$work" && exec "$demo_bin" 2>"$work/stderr.txt") &
  demo_pid=$!
}

# Prints the id of the first top-level window whose name is exactly $1.
# xwininfo fails when a window goes away while it lists the tree, or when awk
# stops reading at the first match; neither is the caller's error (under
# set -e and pipefail it would end the test).
find_window() {
  { xwininfo -root -tree 2>/dev/null || true; } |
    awk -v name="\"$1\":" '$2 == name || index($0, name) { print $1; exit }'
}

wait_window() {
  local name=$1 id=""
  for _ in $(seq 300); do
    id=$(find_window "$name")
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$demo_pid" 2>/dev/null || fail "program ended while waiting for \"$name\""
    sleep 0.1
  done
  fail "no window \"$name\""
}

wait_gone() {
  local id=$1
  for _ in $(seq 300); do
    xwininfo -id "$id" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "window $id did not go away"
}

# Focuses the window and presses the key; the demo looks at held keys once
# per frame, so the key is held long enough for a slow frame to see it.
press() {
  local id=$1 key=$2
  timeout 5 xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
  sleep 0.2
  xdotool keydown "$key"
  sleep "${hold:-1.5}"
  xdotool keyup "$key"
}

# Answers a message box with a key, again until it goes: a box found as soon
# as its window exists may not take keys yet.
answer_box() {
  local box=$1 key=$2
  for _ in $(seq 60); do
    timeout 5 xdotool windowfocus --sync "$box" 2>/dev/null || xdotool windowfocus "$box" 2>/dev/null || true
    xdotool key "$key" 2>/dev/null || true
    for _ in $(seq 10); do
      xwininfo -id "$box" >/dev/null 2>&1 || return 0
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
  for _ in $(seq 300); do
    kill -0 "$demo_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$demo_pid" 2>/dev/null && fail "program did not end"
  status=0
  wait "$demo_pid" || status=$?
  demo_pid=""
}

title="Pencil NPR Demo - [https://example.org/pencil-npr]"

# --- One thing wrong at a time (missing_files.sh) ---------------------------

# Puts a fresh copy of the runnable folder in place for the next case.
fresh_work() {
  find "$work" -mindepth 1 -maxdepth 1 ! -name display -exec rm -rf {} +
  cp -r "$demo_dir"/. "$work"
  rm -f "$work/Log.txt"
}

# Waits for an entry of Log.txt that begins with $1.
wait_log() {
  local entry=$1
  for _ in $(seq 300); do
    grep -qF -- "$entry" "$work/Log.txt" 2>/dev/null && return 0
    kill -0 "$demo_pid" 2>/dev/null || fail "program ended while waiting for \"$entry\" in Log.txt"
    sleep 0.1
  done
  fail "no \"$entry\" in Log.txt"
}
