#!/usr/bin/env bash
# The long run of the standard file differential test: generated files read through the platform's
# profile function and through the standard file image, compared byte for byte, with the loads
# and audit walks through both readers.
# Usage: scripts/profile_differential.sh [--first N] [--count M]   (defaults: 1 and 1000)
# Prints every disagreement with its case number and file; exit status 1 when there is one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KV_BUILD_DIR:-$root/build}

cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target profile_differential >/dev/null
# The image assumes nothing about the code page; the files hold bytes above 127, so pin it.
exec env LC_ALL="${LC_ALL:-en_US.UTF-8}" "$build/wine-run" "$build/tests/standards/profile_differential.exe" "$@"
