#!/usr/bin/env bash
# The product's folders stand on floors: a file may include files of its own
# folder and of the folders below it, never above, and no two files include
# each other. Reads every #include "..." of the product code and lists every
# one that breaks this.
#
#   check_includes.sh [source root]
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
cd "$root" || exit 2

# Folder: the folders its files may include besides its own.
declare -A below=(
  [platform]=""
  [base]=""
  [contract]="platform"
  [gl]="base platform"
  [world]="gl base platform"
  [camera]="gl base platform"
  [characters]="gl base platform"
  [render]="world camera characters gl contract base platform"
  [app]="render world camera characters gl contract base platform"
  [tools]=""
)

status=0
edges=$(mktemp)
trap 'rm -f "$edges"' EXIT

for folder in "${!below[@]}"; do
  [ -d "$folder" ] || continue
  while IFS= read -r file; do
    while IFS= read -r included; do
      [ -n "$included" ] || continue
      echo "${file%.*} ${included%.*}" >>"$edges"
      target=${included%%/*}
      [ "$target" = "$folder" ] && continue
      allowed=0
      for ok in ${below[$folder]}; do [ "$ok" = "$target" ] && allowed=1; done
      if [ $allowed = 0 ]; then
        echo "$file includes $included: $folder/ may include only ${below[$folder]:-itself}" >&2
        status=1
      fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
  done < <(find "$folder" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) | sort)
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

[ $status = 0 ] && echo "every include runs down the floors ($(wc -l <"$edges") read)"
exit $status
