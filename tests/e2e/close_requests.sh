# The close box (a window manager's close request) and Alt+F4 end the program.
source "$(dirname "$0")/../../scripts/drive.bash"
x11_close=${2:-}
use_copy_of "$(dirname "$1")"
start_xvfb 1280x1024
for how in closebox altf4; do
  start_program "$1"
  box=$(wait_window "Start FullScreen?")
  answer_box "$box" Escape
  win=$(wait_window "$title")
  sleep 1
  if [ "$how" = closebox ]; then
    "$x11_close" "$win"
  else
    press "$win" alt+F4
  fi
  wait_exit
  [ "$status" = 0 ] || fail "$how: exit status $status"
  echo "PASS $how ends with 0"
done
