#!/usr/bin/env bash
# Installs what is missing, builds both architectures, and runs every test under Wine: the 32-bit
# tree's suite in ./build, then the 64-bit tree's in ./build/x64. Fails if either fails.
# Usage: scripts/test.sh              (build tree: ./build, or $KV_BUILD_DIR)
#        scripts/test.sh --tree DIR   (only the tests of the CTest tree DIR, already built)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KV_BUILD_DIR:-$root/build}
jobs=${KV_TEST_JOBS:-$(nproc)}

# Under load, the Linux loader of 64-bit Wine now and then aborts a process as it exits, after the test
# has passed. Such a failure alone runs again (twice at most); any other failure stands at once.
loader_abort='Inconsistency detected by ld.so'

# The output CTest logged for one test of its last run.
test_output() {
  awk -v name="$2" '
    $0 ~ /^[0-9]+\/[0-9]+ Testing: / { sub(/^[0-9]+\/[0-9]+ Testing: /, ""); inside = ($0 == name); next }
    inside && $0 == "\"" name "\" end time:" { inside = 0 }
    inside && index($0, "\"" name "\" end time: ") == 1 { inside = 0 }
    inside { print }' "$1"
}

regex_of() { printf '^%s$' "$(sed 's/[][\\.*^$+?(){}|/]/\\&/g' <<<"$1")"; }

# Runs one test again while its failures are the loader's abort; true once it passes.
passes_on_retry() {
  local name=$1 _
  for _ in 1 2; do
    if ctest -R "$(regex_of "$name")" --output-on-failure >/dev/null 2>&1; then
      return 0
    fi
    test_output Testing/Temporary/LastTest.log "$name" | grep -qF "$loader_abort" || return 1
  done
  return 1
}

# Runs the tests of the tree in the current folder; sets tree_passed, tree_failed, tree_retried.
run_tree() {
  local log outputs name total
  log=$(mktemp)
  # CTest leaves the list of an earlier run's failures when every test passes.
  rm -f Testing/Temporary/LastTestsFailed.log
  ctest --output-on-failure -j"$jobs" 2>&1 | tee "$log"
  # CTest's summary: "NN% tests passed, F tests failed out of T".
  total=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1 |
          sed -E 's/.* out of ([0-9]+).*/\1/')
  rm -f "$log"
  if [[ -z $total ]]; then
    tree_passed=0 tree_failed=1 tree_retried=0
    echo "no test summary (ctest did not run)"
    return
  fi
  local failed_names=() retried_names=() still=()
  if [[ -s Testing/Temporary/LastTestsFailed.log ]]; then
    mapfile -t failed_names < <(sed -E 's/^[0-9]+://' Testing/Temporary/LastTestsFailed.log)
  fi
  # Retries overwrite CTest's logs: the first run's outputs are kept apart.
  outputs=$(mktemp)
  cp Testing/Temporary/LastTest.log "$outputs" 2>/dev/null || : >"$outputs"
  for name in "${failed_names[@]}"; do
    if test_output "$outputs" "$name" | grep -qF "$loader_abort" && passes_on_retry "$name"; then
      retried_names+=("$name")
    else
      still+=("$name")
    fi
  done
  rm -f "$outputs"
  tree_failed=${#still[@]}
  tree_retried=${#retried_names[@]}
  tree_passed=$((total - tree_failed))
  if ((tree_retried > 0)); then
    echo "retried $tree_retried after the loader's abort, passed then: ${retried_names[*]}"
  fi
  if ((tree_failed > 0)); then
    echo "failed: ${still[*]}"
  fi
}

if [[ ${1:-} == --tree ]]; then
  cd "$2" || exit 2
  run_tree
  echo "$tree_passed passed, $tree_failed failed, $tree_retried retried"
  ((tree_failed == 0))
  exit
fi

"$root/scripts/setup.sh" || exit 1
cmake -S "$root" -B "$build" >/dev/null || exit 1
cmake --build "$build" -j"$(nproc)" || exit 1

passed=0
failed=0
retried=0
summaries=()
for tree in "32-bit (x86):$build" "64-bit (x64):$build/x64"; do
  name=${tree%%:*}
  dir=${tree#*:}
  echo "=== $name tests in $dir"
  if ! cd "$dir"; then
    tree_passed=0 tree_failed=1 tree_retried=0
  else
    run_tree
    cd "$root" || exit 2
  fi
  passed=$((passed + tree_passed))
  failed=$((failed + tree_failed))
  retried=$((retried + tree_retried))
  summaries+=("$name: $tree_passed passed, $tree_failed failed, $tree_retried retried after the loader's abort")
done

echo "=== summary"
printf '%s\n' "${summaries[@]}"
echo "$passed passed, $failed failed ($retried retried after the loader's abort)"
((failed == 0))
