#!/usr/bin/env bash
# The product's folders stand on floors: a file may include files of its own
# folder and what its folder's rule names, never anything above, and no two
# files include each other. A rule names a folder (its top-level headers, not
# its subfolders: no backend of platform/ is reachable that way) or one
# header. The floors, and the README's table of them, follow from the rules.
#
#   check_includes.sh [source root]           lists every include that breaks a rule
#   check_includes.sh --table [source root]   prints the README's floor table
#   check_includes.sh --readme [source root]  compares the README's table with it
set -uo pipefail
mode=check
case ${1:-} in --table | --readme) mode=${1#--} && shift ;; esac
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
cd "$root" || exit 2

# Bottom up: folder | what it may include besides itself | what it holds.
floors=(
  "platform||the window-system layer, one small face per use: \`Dialogs.h\` (message boxes), \`GlLoader.h\` (GL entry points), \`Input.h\` (keys, pointer, focus), \`Clock.h\`, \`MessageQueue.h\`, \`Windowing.h\` and \`GlContexts.h\` (for the shell), their shared \`Types.h\`; \`WindowSystem.h\` is all of them, which each backend (\`sdl/\`, \`win32/\`, the tests' scripted \`fake/\`) implements in one class"
  "base||log, configuration, vector and quaternion math"
  "contract|platform/Types.h platform/MessageQueue.h|where the shell and the renderer meet: window records, key flags, the four demo hooks, the quit and screen-mode requests"
  "gl|base platform/Types.h platform/Dialogs.h platform/GlLoader.h|extension entry points, render targets and copies of them, shader programs, bitmap reader (from a file or from memory) and textures, the perspective projection, view volumes"
  "world|gl base|scene file loader and mesh drawing"
  "camera|gl base platform/Types.h platform/Input.h platform/Clock.h|frame timer, the flying camera, the view trace of the end-to-end tests"
  "characters|gl base platform/Types.h platform/Dialogs.h|capsule model and its playback, skeleton drawing, waypoints, movement"
  "app|contract gl base platform|the shell: entry, outer and frame loop, window and context, window procedure"
  "render|world camera characters gl contract base platform/Types.h|demo lifecycle on one record (\`DemoRecord.h\`: where the demo's state lives), a file for each of the frame's passes, kept images, pencil composite; \`DemoSlots.h\` names the programs, targets, textures and styles by their slots"
  "tools/headless|gl platform/fake|a GL context without a display, behind the scripted window system, for the picture tool, the tests and the benchmarks; pictures read back from it, written as PNG or PPM"
)
# Beside the floors: the generators use nothing of ours, so that their output
# never changes with the program; the headless renderer draws the program's
# own frames in the headless context.
beside=(
  "tools|"
  "tools/render_frames.cpp|render world camera characters gl contract base platform tools/headless"
)
max_lines=450

declare -A allowed floor what
order=()
for row in "${floors[@]}"; do
  IFS='|' read -r folder may text <<<"$row"
  order+=("$folder")
  allowed[$folder]=$may
  what[$folder]=$text
  level=1
  for entry in $may; do
    below=${floor[${entry%%/*}]:-}
    [ -n "$below" ] || { echo "rule of $folder/: $entry is not below it" >&2; exit 2; }
    [ $((below + 1)) -gt $level ] && level=$((below + 1))
  done
  floor[$folder]=$level
done
for row in "${beside[@]}"; do
  IFS='|' read -r key may <<<"$row"
  allowed[$key]=$may
done

table() {
  echo "| floor | folder | may include | what |"
  echo "|---|---|---|---|"
  local top=0 f level entries
  for f in "${order[@]}"; do [ "${floor[$f]}" -gt $top ] && top=${floor[$f]}; done
  for ((level = top; level >= 1; level--)); do
    for f in "${order[@]}"; do
      [ "${floor[$f]}" = $level ] || continue
      entries=$(for e in ${allowed[$f]}; do
        [ -f "$e" ] && printf '`%s`, ' "$e" || printf '`%s/`, ' "$e"
      done)
      entries=${entries%, }
      echo "| $level | \`$f/\` | ${entries:-nothing of ours} | ${what[$f]} |"
    done
  done
}

if [ $mode = table ]; then
  table
  exit 0
fi
if [ $mode = readme ]; then
  # The README's table: the block of table lines that starts with its header.
  if diff -u <(awk '/^\| floor \|/ { on = 1 } on && !/^\|/ { exit } on' README.md) <(table); then
    echo "the README's floor table is the check's"
    exit 0
  fi
  echo "README.md: replace the floor table with the output of $0 --table" >&2
  exit 1
fi

# The rule of a file: the longest key that is the file or a folder holding it.
rule_of() {
  local path=$1
  while [ "$path" != . ]; do
    [ -n "${allowed[$path]+set}" ] && { echo "$path"; return; }
    [[ $path == */* ]] && path=${path%/*} || path=.
  done
}

status=0
edges=$(mktemp)
trap 'rm -f "$edges"' EXIT

while IFS= read -r file; do
  key=$(rule_of "$file")
  own=$key
  [ -f "$key" ] && own=${key%/*}
  while IFS= read -r included; do
    [ -n "$included" ] || continue
    echo "${file%.*} ${included%.*}" >>"$edges"
    [[ $included == "$own"/* ]] && continue
    ok=0
    for entry in ${allowed[$key]}; do
      { [ "$entry" = "$included" ] || [ "$entry" = "${included%/*}" ]; } && ok=1
    done
    if [ $ok = 0 ]; then
      echo "$file includes $included: $key may include only ${allowed[$key]:-itself}" >&2
      status=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find "${order[@]}" tools -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) | sort -u)

# The layer's own headers know no backend: not a backend's header, nor the
# system headers a backend is written against.
for header in platform/*.h; do
  if grep -Eq '^[[:space:]]*#[[:space:]]*include[[:space:]]*("platform/[^"]+/|<(SDL|windows\.h|X11/))' "$header"; then
    echo "$header includes a backend's header" >&2
    status=1
  fi
done

# A header and its source are one unit: two units that include each other
# make a loop.
sort -u -o "$edges" "$edges"
while read -r a b; do
  if [[ "$a" < "$b" ]] && grep -qx "$b $a" "$edges"; then
    echo "$a and $b include each other" >&2
    status=1
  fi
done <"$edges"

# A file a newcomer can read through: split the larger ones.
while read -r lines file; do
  [ "$file" = total ] && continue
  [ "$lines" -gt $max_lines ] && echo "$file has $lines lines, more than $max_lines" >&2 && status=1
done < <(find "${order[@]}" -type f \( -name '*.h' -o -name '*.cpp' \) -exec wc -l {} +)

[ $status = 0 ] && echo "every include runs down the floors ($(wc -l <"$edges") read)"
exit $status
