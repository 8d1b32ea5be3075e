#!/usr/bin/env bash
# Times a rules audit of a folder of COUNT drawings (default 1,000: copies of the sample drawings in
# ten folders) against a plain audit of the same folder, as whole kvstcheck runs under Wine. Prints
# the best of RUNS (default 3) wall-clock times of each and their difference per drawing.
# Usage: bench/rules_bench.sh [COUNT] [RUNS]   (after a build; build tree ./build or $KV_BUILD_DIR)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-1000}
runs=${2:-3}
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
samples=("$root"/examples/drawings/*.dxf "$root"/examples/drawings/*.json)
for ((i = 0; i < count; i++)); do
  mkdir -p "$folder/part$((i % 10))"
  sample=${samples[i % ${#samples[@]}]}
  cp "$sample" "$folder/part$((i % 10))/drawing$i.${sample##*.}"
done

best() {  # best wall-clock seconds of $runs runs of kvstcheck with the arguments
  local best_time=
  for ((r = 0; r < runs; r++)); do
    local start end
    start=$(date +%s.%N)
    "$root/kvstcheck.sh" "$@" "$folder" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    best_time=$(echo "$start $end ${best_time:-}" | awk '{t = $2 - $1; if ($3 != "" && $3 < t) t = $3; print t}')
  done
  echo "$best_time"
}

standard=("--standard" "$root/examples/standard/KVStPluginDefault.ini")
rules=("--rules" "$root/examples/rules/office-us.toml" "--rules" "$root/examples/rules/project.toml")
"$root/kvstcheck.sh" "${standard[@]}" "$root/examples/drawings/clean.json" >/dev/null 2>&1 || true  # builds, registers
plain=$(best "${standard[@]}")
ruled=$(best "${standard[@]}" "${rules[@]}")
awk -v n="$count" -v p="$plain" -v r="$ruled" 'BEGIN {
  printf "%d drawings   plain audit %.2f s (%.1f drawings/s)   with rules %.2f s (%.1f drawings/s)   rules add %.2f ms per drawing (%+.1f%%)\n",
         n, p, n / p, r, n / r, (r - p) * 1000 / n, (r - p) * 100 / p }'
