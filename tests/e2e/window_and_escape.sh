# Answering No opens a window of the configured client size; Escape ends it.
source "$(dirname "$0")/../../scripts/drive.bash"
use_copy_of "$(dirname "$1")"
start_xvfb 1280x1024
printf '800 600\n' > "$program_dir/config.cfg"
start_program "$1"
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
