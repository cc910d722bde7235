# F1 rebuilds the window in the other mode. This screen offers only its own
# size, so the full-screen request is refused: the box appears and the new
# window is windowed. The log carries on rather than starting afresh.
source "$(dirname "$0")/../../scripts/drive.bash"
use_copy_of "$(dirname "$1")"
start_xvfb 1280x1024
printf '640 480\n' > "$program_dir/config.cfg"
start_program "$1"
box=$(wait_window "Start FullScreen?")
answer_box "$box" Escape
first=$(wait_window "$title")
sleep 1
log_before=$(cat "$program_dir/Log.txt" 2>/dev/null || true)
press "$first" F1
refused=$(wait_window "Error")
answer_box "$refused" Return
wait_gone "$refused"
second=$(wait_window "$title")
for _ in $(seq 50); do
  [ "$second" != "$first" ] && break
  sleep 0.1
  second=$(wait_window "$title")
done
[ "$second" != "$first" ] || fail "no new window after F1"
size=$(client_size "$second")
[ "$size" = "640x480" ] || fail "new window's outer size should be the configured size, got $size"
if [ -n "$log_before" ]; then
  log_after=$(cat "$program_dir/Log.txt")
  case "$log_after" in
    "$log_before"*) ;;
    *) fail "Log.txt was restarted by the toggle" ;;
  esac
  [ ${#log_after} -gt ${#log_before} ] || fail "the second initialisation wrote nothing to Log.txt"
fi
sleep 1
press "$second" Escape
wait_exit
[ "$status" = 0 ] || fail "exit status $status"
echo "PASS F1 rebuilt the window windowed after the refused mode switch"
