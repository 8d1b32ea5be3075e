#!/usr/bin/env bash
# Runs kvstcheck (the command-line audit through the plug-in) under Wine, in the build tree's own
# Wine prefix. Installs the packages, builds, and registers the host library and the plug-in there
# first when needed.
#
# Usage: ./kvstcheck.sh [--standard FILE] [--plugin DLL] [--json] [--html FILE [--force]] DRAWING|FOLDER...
#        ./kvstcheck.sh lint [--json] STANDARD.ini | --installed
#        ./kvstcheck.sh make-standard DRAWING... [-o FILE] [--force]
# Build tree: ./build, or $KV_BUILD_DIR. Linux paths may be given as they are, and come back so.
# KV_ARCH=x86 (the default) runs the 32-bit program with the 32-bit plug-in (tree ./build);
# KV_ARCH=x64 the 64-bit program with the 64-bit plug-in (tree ./build/x64, its own 64-bit prefix).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${KV_BUILD_DIR:-$root/build}

# Wine hands file names and arguments over in the Unix locale's character set, and takes its code
# page from the locale's name: a locale not named UTF-8 (none set, LANG=C) gives way to C.UTF-8.
case "${LC_ALL:-${LC_CTYPE:-${LANG:-}}}" in
  *[Uu][Tt][Ff]-8* | *[Uu][Tt][Ff]8*) ;;
  *) export LC_ALL=C.UTF-8 ;;
esac

# Runs a step quietly; its output is shown only when it fails. Standard output stays the tool's.
quietly() {
  local log
  log=$(mktemp)
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "kvstcheck.sh: failed: $*" >&2
    exit 2
  fi
  rm -f "$log"
}

case ${KV_ARCH:-x86} in
  x86) tree=$build ;;
  x64) tree=$build/x64 ;;
  *) echo "kvstcheck.sh: KV_ARCH must be x86 or x64, not '$KV_ARCH'" >&2; exit 2 ;;
esac

quietly "$root/scripts/setup.sh"
if [[ ! -f $build/CMakeCache.txt ]]; then
  echo "kvstcheck.sh: first run: building in $build (a few minutes)" >&2
  quietly cmake -S "$root" -B "$build"
fi
if [[ ! -f $tree/CMakeCache.txt ]]; then
  quietly cmake --build "$build" --target x64-configure
fi
quietly cmake --build "$tree" -j"$(nproc)" --target kvstcheck KVStVB7Default KVStMgr

run="$tree/wine-run"
host_dll="$tree/kvstmgr/KVStMgr.dll"
plugin_dll="$tree/server/KVStVB7Default.dll"

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# The Windows path registered for a class, or nothing.
registered_module() {
  "$run" reg query "HKCR\\CLSID\\$1\\InprocServer32" /ve 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *(Default) *REG_[A-Z_]*SZ *//p'
}

same_module() {
  local registered
  registered=$(registered_module "$1")
  [[ ${registered,,} == "$(windows_path "$2" | tr '[:upper:]' '[:lower:]')" ]]
}

# The host library first: the plug-in creates its error objects from it.
for module in "{FF8DA293-C9B6-4D06-AE91-D6A7E120AD88} $host_dll" \
              "{CD0257E4-6183-4688-9DB6-93270B232B36} $plugin_dll"; do
  if ! same_module ${module%% *} "${module#* }"; then
    echo "kvstcheck.sh: registering ${module##*/} in the build tree's Wine prefix (${KV_ARCH:-x86})" >&2
    quietly "$run" regsvr32 /s "$(windows_path "${module#* }")"
  fi
done

# Paths go over as the user wrote them, so that they come back so: a relative one is found from the
# same folder, where Wine starts the program, and an absolute Linux path from the root of drive Z:,
# the current drive, which is the Linux root. Paths found below a folder given as a plain name are
# joined with '/'.
export KVSTCHECK_PATH_SEPARATOR=/
exec "$run" "$tree/kvstcheck/kvstcheck.exe" "$@"
