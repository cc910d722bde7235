#!/usr/bin/env bash
# The frame over an imported scene of about a million source triangles at
# the importer's default budget, against the shipped town's, and the
# import's own time. Rounds alternate the two scenes; medians of the rounds.
#
#   bench/imported_scene.sh [BUILD_DIR] [ROUNDS] [TRIANGLES]
set -euo pipefail
build=$(realpath "${1:-build}")
rounds=${2:-3}
triangles=${3:-1000000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/tests/dense_model" "$work/dense.ply" "$triangles"
start=$(date +%s.%N)
"$build/tools/scene_import" "$work/dense.ply" --out "$work/imported" | sed 's/^/  /'
echo "import: $(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }') s"

filter='BM_DemoOverFloor/style:1/stereo:0/motion:[01]'
run() {
  "$build/tests/bench_frame" --benchmark_filter="$filter" --benchmark_format=csv 2>/dev/null |
    awk -F, -v scene="$1" '{ gsub(/"/, ""); $0 = $0 }
      NR > 1 && /motion/ {
      for (i = 1; i <= NF; i++) if (h[i] != "") v[h[i]] = $i
      print scene, $1, v["demo_ms"], v["floor_ms"], v["ratio"] }
      NR == 1 || /^name/ { for (i = 1; i <= NF; i++) h[i] = $i }'
}
for round in $(seq "$rounds"); do
  run town
  NPR_BENCH_DATA="$work/imported" run imported
done >"$work/figures"

# Median per scene and motion of the demo's milliseconds and of its ratio to the floor.
echo "scene motion demo_ms floor_ms ratio (medians of $rounds rounds)"
for scene in town imported; do
  for motion in 0 1; do
    name=$([ $motion = 0 ] && echo resting || echo turning)
    median() {
      awk -v s="$scene" -v m="motion:$motion" -v c="$1" '$1 == s && index($2, m) { print $c }' \
        "$work/figures" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
    }
    echo "$scene $name $(median 3) $(median 4) $(median 5)"
  done
done
