# Answering Yes with the screen's own size switches to full screen.
source "$(dirname "$0")/../../scripts/drive.bash"
use_copy_of "$(dirname "$1")"
start_xvfb 1280x1024
printf '1280 1024\n' > "$program_dir/config.cfg"
start_program "$1"
box=$(wait_window "Start FullScreen?")
answer_box "$box" Return
win=$(wait_window "$title")
size=$(client_size "$win")
[ "$size" = "1280x1024" ] || fail "full-screen window is $size"
[ -z "$(find_window "Error")" ] || fail "unexpected error box"
sleep 1
press "$win" Escape
wait_exit
[ "$status" = 0 ] || fail "exit status $status"
echo "PASS full screen at the screen's size"
