#!/usr/bin/env bash
# Fuzzes one portable parser natively with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer.
# Usage: scripts/fuzz.sh TARGET [MINUTES]     (default 10 minutes; targets: fuzz/CMakeLists.txt)
# Starts from the saved corpus fuzz/corpus/TARGET/, and afterwards adds to it the inputs that
# reach new code (commit them). A crash leaves its input in build-fuzz/artifacts/TARGET/ and the
# script fails. Build tree: ./build-fuzz, or $KV_FUZZ_BUILD_DIR. Runs at low priority.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KV_FUZZ_BUILD_DIR:-$root/build-fuzz}
target=${1:?usage: scripts/fuzz.sh TARGET [MINUTES]}
minutes=${2:-10}

# clang and its sanitizer and libFuzzer runtimes.
missing=()
for pkg in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "fuzz: missing packages (${missing[*]}); run this script as root" >&2
    exit 1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE= >/dev/null
cmake --build "$build" -j2 --target "fuzz_$target" >/dev/null

saved="$root/fuzz/corpus/$target"
work="$build/corpus/$target"
artifacts="$build/artifacts/$target"
mkdir -p "$saved" "$work" "$artifacts"
nice "$build/fuzz_$target" -max_total_time=$((minutes * 60)) -max_len=4096 -len_control=20 -print_final_stats=1 \
  -artifact_prefix="$artifacts/" "$work" "$saved"
# Only inputs that reach code the saved corpus does not reach are added to it.
nice "$build/fuzz_$target" -merge=1 -max_len=4096 "$saved" "$work" 2>&1 | grep -E "MERGE-OUTER: [0-9]+ new files" || true
