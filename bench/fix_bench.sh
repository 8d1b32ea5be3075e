#!/usr/bin/env bash
# Figures of kvstcheck fix as whole runs under Wine: a folder of COUNT drawings (default 500: copies of
# the sample office drawing in ten folders) planned (a dry run) and fixed into copies, each copy read
# again and audited again, in drawings/s; and a drawing of about 26 MB against a tiny one, fixed into a
# copy: the wall-clock time and the peak memory of the run. Best of RUNS (default 3) each.
# Usage: bench/fix_bench.sh [COUNT] [RUNS]   (after a build; build tree ./build or $KV_BUILD_DIR)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KV_BUILD_DIR:-$root/build}
count=${1:-500}
runs=${2:-3}
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
for ((i = 0; i < count; i++)); do
  mkdir -p "$folder/in/part$((i % 10))"
  cp "$root/examples/drawings/office.dxf" "$folder/in/part$((i % 10))/drawing$i.dxf"
done
# A large drawing: the sample's tables, then lines on the layers the fix renames.
/usr/bin/python3 - "$folder" <<'PY'
import sys, ezdxf
folder = sys.argv[1]
for name, lines in (("tiny", 10), ("large", 220000)):
    doc = ezdxf.new("R2010")
    for layer in ("A-WALL-OLD", "a-door", "A-WALL"):
        doc.layers.add(layer)
    space = doc.modelspace()
    for i in range(lines):
        space.add_line((i, 0), (i, 1), dxfattribs={"layer": ("A-WALL-OLD", "a-door", "A-WALL")[i % 3]})
    doc.saveas(f"{folder}/{name}.dxf")
PY
# The launcher builds and registers once; the runs timed are the program alone, paths as Wine shows them.
"$root/kvstcheck.sh" --standard "$root/examples/standard/KVStPluginDefault.ini" "$root/examples/drawings/clean.json" \
  >/dev/null 2>&1 || true
standard=("--standard" "Z:$root/examples/standard/KVStPluginDefault.ini")
rules=("--rules" "Z:$root/examples/fix/office-fix.toml")

best() {  # best "seconds peak-KiB" of $runs runs of kvstcheck fix with the arguments
  local best_line=
  for ((r = 0; r < runs; r++)); do
    rm -rf "$folder/out"
    local start end kib
    start=$(date +%s.%N)
    /usr/bin/time -o "$folder/peak" -f %M "$build/wine-run" "$build/kvstcheck/kvstcheck.exe" fix "${standard[@]}" \
      "${rules[@]}" "$@" >/dev/null 2>&1 || true
    kib=$(tail -1 "$folder/peak")
    end=$(date +%s.%N)
    best_line=$(echo "$start $end $kib ${best_line:-}" | awk '{t = $2 - $1; m = $3; if ($4 != "" && $4 < t) {t = $4; m = $5}; print t, m}')
  done
  echo "$best_line"
}

read -r dry _ < <(best "Z:$folder/in")
read -r copies _ < <(best --output "Z:$folder/out" "Z:$folder/in")
read -r tiny tiny_kib < <(best --output "Z:$folder/out" "Z:$folder/tiny.dxf")
read -r large large_kib < <(best --output "Z:$folder/out" "Z:$folder/large.dxf")
size=$(stat -c %s "$folder/large.dxf")
awk -v n="$count" -v d="$dry" -v c="$copies" 'BEGIN {
  printf "%d drawings   dry run %.2f s (%.1f drawings/s)   fixed into copies, each proven %.2f s (%.1f drawings/s)\n", n, d, n / d, c, n / c }'
awk -v t="$tiny" -v tk="$tiny_kib" -v l="$large" -v lk="$large_kib" -v s="$size" 'BEGIN {
  printf "tiny drawing %.2f s, peak %.1f MB   %.1f MB drawing %.2f s, peak %.1f MB   the large one costs %+.2f s and %+.1f MB more\n",
         t, tk / 1024, s / 1048576, l, lk / 1024, l - t, (lk - tk) / 1024 }'
