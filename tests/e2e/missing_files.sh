# The real program in a data folder with one thing wrong at a time. Each case
# gives the entry its reader logs and runs on, or shows its box and ends with
# status 1 once the box is answered; never a crash, a hang or a box that
# cannot be answered.
source "$(dirname "$0")/../../scripts/drive.bash"
demo_dir=$(cd "$(dirname "$1")" && pwd)
start_xvfb 1280x1024

# file | what is wrong with it | what follows: "runs" with the log entry
# expected, or "box" (an error box, then exit status 1)
cases=(
  "config.cfg|missing|runs|SCN Loaded!"
  "Log.txt|not writable|runs|"
  "scene/nprscene.scn|missing|runs|Error: Can't find .SCN file!"
  "Models/capsuleman.txt|missing|runs|Model Loading Error: Can't find File!"
  "scene/waypoints.txt|missing|runs|Waypoint Loading Error: Can't find File!"
)
for name in water_normal3 hatch2 hatch1 water_normal4; do
  cases+=("Textures/$name.bmp|missing|box|" "Textures/$name.bmp|broken|box|")
done
# Slots of each shader file; an unreadable source leaves a compile or link
# error of each slot that uses it.
declare -A slots=(
  [npr1.vsh]="0 3" [npr1.fsh]=0 [npr2.fsh]=3 [normout.vsh]=1 [normout.fsh]=1
  [colout.vsh]=2 [colout.fsh]=2 [depthout.vsh]=4 [depthout.fsh]=4 [water.vsh]=5 [water.fsh]=5
)
for name in "${!slots[@]}"; do
  cases+=("Shaders/$name|missing|shader|${slots[$name]}" "Shaders/$name|empty|shader|${slots[$name]}")
done

for case in "${cases[@]}"; do
  IFS='|' read -r file wrong follows expected <<<"$case"
  what="$file $wrong"
  rm -rf "$work/program"
  use_copy_of "$demo_dir"
  case $wrong in
    missing) rm -f "$program_dir/$file" ;;
    empty) : >"$program_dir/$file" ;;
    broken) head -c 60 "$demo_dir/$file" >"$program_dir/$file" ;;  # headers whole, pixels cut
    "not writable") mkdir "$program_dir/$file" ;;  # a folder: even root cannot write it as a file
  esac
  [ "$file" = config.cfg ] || printf '640 480\n' >"$program_dir/config.cfg"
  start_program "$1"
  box=$(wait_window "Start FullScreen?")
  answer_box "$box" Escape
  if [ "$follows" = box ]; then
    refused=$(wait_window "Error")
    answer_box "$refused" Return
    wait_exit
    [ "$status" = 1 ] || fail "$what: exit status $status after the box, expected 1"
    echo "PASS $what: box, then exit status 1"
    continue
  fi
  win=$(wait_window "$title")
  case $follows in
    runs)
      if [ -n "$expected" ]; then
        wait_log "$expected"
      else
        sleep 5  # nothing to wait for without a log
      fi
      ;;
    shader)
      wait_log "SCN Loaded!"
      for slot in $expected; do
        grep -qE "^(VS Compiling|PS Compiling|Shader Linker) Error! ID: $slot: " "$program_dir/Log.txt" ||
          fail "$what: no compile or link error of slot $slot"
      done
      ;;
  esac
  if [ "$file" = config.cfg ]; then
    size=$(client_size "$win")
    [ "$size" = 1024x768 ] || fail "$what: window $size, expected the default 1024x768"
  fi
  sleep 1
  [ -z "$(find_window "Error")" ] || fail "$what: unexpected error box"
  kill -0 "$demo_pid" 2>/dev/null || fail "$what: the program ended"
  press "$win" Escape
  wait_exit
  [ "$status" = 0 ] || fail "$what: exit status $status"
  if [ "$follows" = shader ]; then
    echo "PASS $what: runs on, errors of slot $expected logged"
  else
    echo "PASS $what: runs on${expected:+ (\"$expected\")}"
  fi
done
