#!/usr/bin/env bash
# Builds what is missing and writes the Windows setup program and a zip of the same files:
#   build/package/KVStVB7Default-<version>-setup.exe
#   build/package/KVStVB7Default-<version>.zip
# Usage: scripts/package.sh   (build tree: ./build, or $KV_BUILD_DIR)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KV_BUILD_DIR:-$root/build}

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target kvst_package
ls -l "$build"/package/KVStVB7Default-*
