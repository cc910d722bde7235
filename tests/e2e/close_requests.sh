# The close box (a window manager's close request) and Alt+F4 end the program.
source "$(dirname "$0")/lib.bash"
start_xvfb
for how in closebox altf4; do
  start_demo
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
