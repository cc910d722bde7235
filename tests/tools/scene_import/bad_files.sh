#!/usr/bin/env bash
# Truncated and byte-flipped copies of a model of each format, through the
# importer (built with AddressSanitizer): each run ends within 10 s, either
# with a complete folder or with status 1, one line naming the file and no
# folder left behind; no allocation over 1 GB; no sanitizer report from our
# own code. A crash inside the import library itself is listed, not failed:
# the importer survives it (the library runs in a child process).
#
#   bad_files.sh SCENE_IMPORT [COPIES_PER_FORMAT]
set -uo pipefail
tool=$1
copies=${2:-100}
models=/usr/share/assimp/models
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One model per format, with the files it names beside it.
samples=(
  "glTF2/BoxTextured-glTF/BoxTextured.gltf glTF2/BoxTextured-glTF/BoxTextured0.bin glTF2/BoxTextured-glTF/CesiumLogoFlat.png"
  "glTF2/BoxTextured-glTF-Binary/BoxTextured.glb"
  "OBJ/cube_usemtl.obj OBJ/cube_usemtl.mtl"
  "PLY/Wuson.ply"
  "STL/Spider_binary.stl"
  "Collada/duck.dae Collada/duckCM.tga"
  "FBX/box.fbx"
)

mkdir -p "$work/data/scene" && echo "1024 768" >"$work/data/config.cfg"

# The copies: the first half cut short at spread-out lengths, the rest with
# one to four bytes changed at seeded places.
mutate() {
  python3 - "$@" <<'PY'
import random, sys
src, dst_dir, copies = sys.argv[1], sys.argv[2], int(sys.argv[3])
data = open(src, 'rb').read()
name = src.rsplit('/', 1)[-1]
for i in range(copies):
    rng = random.Random(f"{name}-{i}")
    if i < copies // 2:
        out = data[:len(data) * (i + 1) // (copies // 2 + 1)]
    else:
        out = bytearray(data)
        for _ in range(rng.randint(1, 4)):
            out[rng.randrange(len(out))] = rng.randrange(256)
        out = bytes(out)
    open(f"{dst_dir}/{i:03d}/{name}", 'wb').write(out)
PY
}

for sample in "${samples[@]}"; do
  read -r -a files <<<"$sample"
  format=${files[0]##*.}
  for i in $(seq -f %03g 0 $((copies - 1))); do
    mkdir -p "$work/$format/$i"
    for f in "${files[@]:1}"; do cp "$models/$f" "$work/$format/$i/"; done
  done
  mutate "$models/${files[0]}" "$work/$format" "$copies"
done

export ASAN_OPTIONS="max_allocation_size_mb=1024:allocator_may_return_null=0:detect_leaks=0"
export UBSAN_OPTIONS="print_stacktrace=1"

# Prints one verdict line per run: "ok", "library CASE", or "FAIL CASE: why".
judge() {
  local model=$1 dir out rc err
  dir=$(dirname "$model")
  out=$dir/out
  err=$dir/stderr
  timeout 10 "$tool" "$model" --out "$out" --data "$work/data" >/dev/null 2>"$err"
  rc=$?
  local name=${model#"$work"/}
  if [ $rc = 124 ]; then echo "FAIL $name: still running after 10 s"; return; fi
  if grep -a -q -E 'runtime error:|ERROR: AddressSanitizer|ERROR: LeakSanitizer' "$err"; then
    # The first frame that is neither the sanitizer nor the C library says whose.
    local first
    first=$(grep -a -E '^ +#[0-9]+ ' "$err" | grep -v -E 'libasan|libubsan|libc\.so|libstdc\+\+|compiler-rt|sanitizer' | head -n 1)
    if grep -a -q "runtime error:" "$err" || ! grep -q 'libassimp' <<<"$first"; then
      echo "FAIL $name: sanitizer report from our code: $(grep -a -m1 -E 'runtime error:|ERROR:' "$err")"
      return
    fi
    echo "library $name: $(grep -a -m1 'ERROR:' "$err" | sed 's/.*ERROR: //')"
  fi
  if [ $rc = 0 ]; then
    [ -s "$out/scene/nprscene.scn" ] || { echo "FAIL $name: status 0 and no scene"; return; }
    echo ok
  elif [ $rc = 1 ]; then
    local line
    line=$(grep -a '^scene_import: ' "$err")
    [ "$(grep -a -c '^scene_import: ' "$err")" = 1 ] || { echo "FAIL $name: not one line: $(head -c 300 "$err")"; return; }
    [[ $line == "scene_import: $model: "* ]] || { echo "FAIL $name: the line does not name the file: $line"; return; }
    LC_ALL=C grep -a -q '[^[:print:]]' <<<"$line" && { echo "FAIL $name: unprintable bytes in the line"; return; }
    [ ! -e "$out" ] || { echo "FAIL $name: status 1 and a folder left"; return; }
    ls -a "$dir" | grep -q '\.out\.' && { echo "FAIL $name: a partial folder left"; return; }
    echo ok
  else
    echo "FAIL $name: status $rc: $(tail -c 300 "$err")"
  fi
}
export -f judge
export tool work

find "$work" -mindepth 3 -maxdepth 3 -type f -path "$work/*/[0-9]*/*" \
  \( -name '*.gltf' -o -name '*.glb' -o -name '*.obj' -o -name '*.ply' -o -name '*.stl' \
     -o -name '*.dae' -o -name '*.fbx' \) | sort >"$work/copies"
xargs -P "$(nproc)" -I{} bash -c 'judge "$1"' _ {} <"$work/copies" >"$work/verdicts"

runs=$(wc -l <"$work/verdicts")
failed=$(grep -c '^FAIL' "$work/verdicts" || true)
library=$(grep -c '^library' "$work/verdicts" || true)
grep -E '^(FAIL|library)' "$work/verdicts" | sort
echo "$runs bad copies of ${#samples[@]} formats: $failed failed, $library crashed inside the import library"
[ "$runs" = $((copies * ${#samples[@]})) ] || { echo "FAIL: expected $((copies * ${#samples[@]})) runs"; exit 1; }
[ "$failed" = 0 ]
