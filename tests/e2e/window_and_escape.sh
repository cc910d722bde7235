# Answering No opens a window of the configured client size; Escape ends it.
source "$(dirname "$0")/lib.bash"
start_xvfb
printf '800 600\n' > "$work/config.cfg"
start_demo
box=$(wait_window "Start FullScreen?")
answer_box "$box" Escape
win=$(wait_window "$title")
size=$(client_size "$win")
[ "$size" = "800x600" ] || fail "client area $size, expected 800x600"
sleep 1
press "$win" Escape
wait_exit
[ "$status" = 0 ] || fail "exit status $status"
echo "PASS window 800x600, Escape ends with 0"
