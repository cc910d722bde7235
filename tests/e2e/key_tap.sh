# At the default size, where a frame takes longer than a tap on a software
# renderer, a 0.05 s Escape tap still ends the program.
source "$(dirname "$0")/../../scripts/drive.bash"
use_copy_of "$(dirname "$1")"
start_xvfb 1280x1024
printf '1024 768\n' > "$program_dir/config.cfg"
start_program "$1"
box=$(wait_window "Start FullScreen?")
answer_box "$box" Escape
win=$(wait_window "$title")
sleep 2
hold=0.05 press "$win" Escape
wait_exit
[ "$status" = 0 ] || fail "exit status $status"
echo "PASS a 0.05 s Escape tap ends the program with 0"
