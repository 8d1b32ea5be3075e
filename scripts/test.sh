#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test under Wine.
# Usage: scripts/test.sh   (build tree: ./build, or $KV_BUILD_DIR)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KV_BUILD_DIR:-$root/build}

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
ctest --output-on-failure -j"$(nproc)"
