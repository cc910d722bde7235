# Mouse look and the window as a person uses them, one table: the pointer
# moved by the device (XTest) or warped by another program turns the view by
# 0.002 rad per pixel (right turns right, up looks up) and is pulled back to
# the centre of the configured area; the pitch stops at its limits while the
# yaw goes on; F2 and a focus taken away free the pointer and hold the view,
# and neither a release nor the focus coming back makes the view jump. The
# opening view is the same wherever the pointer was at the start, and a
# window made larger shows the picture at its configured size with the rest
# cleared.
#
# Where the camera looks comes from the program's view trace (NPR_VIEW_TRACE):
# one line per update with the view direction and the pitch used up.
#
#   mouse_look.sh PROGRAM                          runs PROGRAM in a copy of its folder
#   RUN="wine nprdemo.exe" mouse_look.sh DATA-DIR  runs RUN in a copy of DATA-DIR
source "$(dirname "$0")/../../scripts/drive.bash"
if [ -n "${RUN:-}" ]; then
  data_dir=$1
  read -r -a command <<<"$RUN"
  no_key=n  # a Windows Yes/No box has no Escape
else
  data_dir=$(cd "$(dirname "$1")" && pwd)
  command=("$data_dir/$(basename "$1")")
  no_key=Escape
fi
use_copy_of "$data_dir"
screen_w=1280 screen_h=1024
start_xvfb ${screen_w}x$screen_h
printf '1024 768\n' >"$program_dir/config.cfg"
cx=512 cy=384
export NPR_VIEW_TRACE=view.txt
trace=$program_dir/view.txt

updates() { if [ -f "$trace" ]; then wc -l <"$trace"; else echo 0; fi; }

# Waits until the program has made $1 more updates.
wait_updates() {
  local until=$(($(updates) + $1))
  for _ in $(seq "$wait_tenths"); do
    [ "$(updates)" -ge $until ] && return 0
    program_ended && fail "program ended"
    sleep 0.1
  done
  fail "the program made no $1 updates"
}

# The latest update's view: x y z of the direction, then the pitch used up.
view() { tail -1 "$trace" | awk '{ print $2, $3, $4, $8 }'; }

pointer() { xdotool getmouselocation --shell | awk -F= '/^[XY]=/ { printf "%s ", $2 }'; }

# Moves as a device does (XTest, relative), or as another program does (a
# warp to an absolute place), both given from the centre.
rel() { xdotool mousemove_relative -- "$1" "$2"; }
warp() { xdotool mousemove $((cx + $1)) $((cy + $2)); }
# Each pushes once per update, as a person keeps moving the mouse.
rels() { rel "$@"; wait_updates 2; }
warps() { warp "$@"; wait_updates 2; }
key_down() { focus "$win"; xdotool keydown "$1"; wait_updates 2; }
key_up() { xdotool keyup "$1"; }
# Another program's window takes the focus.
take_focus() {
  xmessage -geometry 200x60+1050+900 "another program" &
  other_pid=$!
  other=$(wait_window xmessage)
  timeout 5 xdotool windowfocus --sync "$other"
  wait_updates 2
}
# The demo's window takes it back, clicked where the pointer was left (Wine
# without a window manager activates a window only on a click).
give_focus() {
  focus "$win"
  xdotool click 1
  kill "$other_pid"
  other_pid=""
}
drive_cleanup() { [ -n "${other_pid:-}" ] && kill "$other_pid"; }

# Starts the program with the pointer at ($1, $2) on the screen. It is put
# there while the start question is up: with no client left, Xvfb resets and
# the pointer goes back to the screen's centre.
start_demo() {
  start_program "${command[@]}"
  local box
  box=$(wait_window "Start FullScreen?")
  xdotool mousemove "$1" "$2"
  answer_box "$box" $no_key "Start FullScreen?"
  win=$(wait_window "$title")
  wait_updates 1
}

# The opening view, left in $opened: the new window has the focus here, so
# the pointer is centred when the camera is placed (with the focus elsewhere
# it would be left alone), and the view stays as placed.
opening() {
  local first
  first=$(view)
  [ "$(pointer)" = "$cx $cy " ] || fail "$1: the pointer was left at $(pointer)"
  focus "$win"
  wait_updates 3
  opened=$(view)
  [ "$opened" = "$first" ] || fail "$1: the opening view turned from $first to $opened"
}

# Checks one row: the view turned by yaw and pitch (radians; "=L", with no
# yaw: the pitch used up ends exactly at the limit L, the view turned by what
# was left to it) and the pointer rests at the given offset from the centre.
check() {
  local what=$1 before=$2 after=$3 yaw=$4 pitch=$5 px=$6 py=$7
  awk -v b="$before" -v a="$after" -v yaw="$yaw" -v pitch="$pitch" '
    function azimuth(v) { return atan2(v[1], -v[3]) }
    function elevation(v) { return atan2(v[2], sqrt(v[1] * v[1] + v[3] * v[3])) }
    function wrap(x) { while (x > 3.14159265) x -= 6.2831853; while (x <= -3.14159265) x += 6.2831853; return x }
    function near(x, y, tolerance) { return (x - y) * (x - y) <= tolerance * tolerance }
    BEGIN {
      split(b, v); split(a, w)
      if (pitch ~ /^=/) {
        # A pure pitch turn, which may carry the view past straight down
        # (where the azimuth flips): the angle between the views tells.
        limit = substr(pitch, 2) + 0
        if (!near(w[4], limit, 1e-6)) { print "pitch used up"; exit 1 }
        cosine = v[1] * w[1] + v[2] * w[2] + v[3] * w[3]
        angle = atan2(sqrt(1 - cosine * cosine), cosine)
        if (!near(angle, limit - v[4] < 0 ? v[4] - limit : limit - v[4], 1e-3)) { print "pitch"; exit 1 }
      } else {
        if (!near(wrap(azimuth(w) - azimuth(v)), yaw, 1e-3)) { print "yaw"; exit 1 }
        if (!near(w[4] - v[4], pitch, 1e-5)) { print "pitch used up"; exit 1 }
        if (!near(elevation(w) - elevation(v), pitch, 1e-3)) { print "pitch"; exit 1 }
      }
    }' >"$work/wrong" || fail "$what: the $(cat "$work/wrong") is wrong; view $before -> $after"
  local at
  at=$(pointer)
  [ "$at" = "$((cx + px)) $((cy + py)) " ] ||
    fail "$what: the pointer is at $at, expected $((cx + px)) $((cy + py))"
  echo "PASS $what"
}

# --- the opening view, from two corners --------------------------------------

start_demo $((screen_w - 1)) $((screen_h - 1))
opening "pointer in the far corner at the start"
far_corner=$opened
press "$win" Escape
wait_exit

rm -f "$trace"
start_demo 0 0
opening "pointer in the near corner at the start"
[ "$opened" = "$far_corner" ] ||
  fail "the opening view depends on the pointer: $far_corner and $opened"
echo "PASS the opening view is the same wherever the pointer starts"

# --- the table -----------------------------------------------------------

# what | action | yaw | pitch | where the pointer rests, from the centre
rows=(
  "right, device motion|rel 100 0|0.2|0|0 0"
  "left, device motion|rel -100 0|-0.2|0|0 0"
  "up, device motion|rel 0 -100|0|0.2|0 0"
  "down, device motion|rel 0 100|0|-0.2|0 0"
  "right, warped by another program|warp 160 0|0.32|0|0 0"
  "up and left, warped|warp -100 -50|-0.2|0.1|0 0"
  "F2 held frees the pointer and holds the view|key_down F2; rels 100 0; rels 0 50|0|0|100 50"
  "F2 released: no jump, the pointer centred|key_up F2|0|0|0 0"
  "after F2 the mouse turns again|rel -100 0|-0.2|0|0 0"
  "focus taken: the pointer is left alone, the view held|take_focus; warps 150 0; rel 20 20|0|0|170 20"
  "focus back: no jump, the pointer centred|give_focus|0|0|0 0"
  "with the focus back the mouse turns again|warp 0 -100|0|0.2|0 0"
  "up to the upper limit|warps 0 -384; warps 0 -384; warps 0 -384|0|=1.0|0 0"
  "up at the upper limit turns only sideways|warp 100 -300|0.2|0|0 0"
  "down to the lower limit|warps 0 639; warps 0 639|0|=-1.4|0 0"
  "down at the lower limit turns only sideways|rel -100 200|-0.2|0|0 0"
)
for row in "${rows[@]}"; do
  IFS='|' read -r what action yaw pitch rests <<<"$row"
  before=$(view)
  eval "$action"
  wait_updates 3
  check "$what" "$before" "$(view)" "$yaw" "$pitch" $rests
done

# --- a larger window -----------------------------------------------------

# A person frees the pointer with F2 and drags the window's corner. Wine
# draws the frame itself, so its corner is dragged; X without a window
# manager gives the window no frame, and xdotool resizes it as a window
# manager would. The frame's widths come from the window's first size.
read -r outer_w outer_h < <(client_size "$win" | tr x ' ')
side=$(((outer_w - 1024) / 2))
top=$((outer_h - 768 - side))
wide=1240 high=1000
before=$(view)
key_down F2
if [ -n "${RUN:-}" ]; then
  xdotool mousemove $((outer_w - 1)) $((outer_h - 1)) mousedown 1
  xdotool mousemove $((wide - 1)) $((high - 1)) mouseup 1
else
  xdotool windowsize "$win" $wide $high
fi
for _ in $(seq 50); do
  [ "$(client_size "$win")" = ${wide}x$high ] && break
  sleep 0.1
done
[ "$(client_size "$win")" = ${wide}x$high ] || fail "the window did not grow: $(client_size "$win")"
key_up F2
wait_updates 3
[ "$(view)" = "$before" ] || fail "the view turned while the window grew: $before -> $(view)"
import -window "$win" "$work/larger.png"
# The client area's part right of and above the picture, which stays at its
# lower left.
inner_w=$((wide - 2 * side)) inner_h=$((high - top - side))
for strip in $((inner_w - 1024))x$inner_h+$((side + 1024))+$top 1024x$((inner_h - 768))+$side+$top; do
  max=$(convert "$work/larger.png" -crop "$strip" +repage -format '%[max]' info:)
  [ "$max" = 0 ] || fail "a larger window shows more than black outside the picture ($strip)"
done
spread=$(convert "$work/larger.png" -crop 1024x768+$side+$((high - side - 768)) +repage \
  -format '%[fx:standard_deviation]' info:)
awk -v s="$spread" 'BEGIN { exit !(s > 0.02) }' || fail "no picture in the larger window"
echo "PASS a larger window: the picture at its size, the rest cleared"

press "$win" Escape
wait_exit
[ "$status" = 0 ] || fail "exit status $status"
echo "PASS mouse look and window table"
