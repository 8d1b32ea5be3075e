#!/usr/bin/env bash
# Stages one package's files and writes the setup program and a zip of the same files.
# Usage: build-package.sh OUT_DIR --x86 FILE... [--x64 FILE...]
#   the files of each architecture: KVStVB7Default.dll, KVStMgr.dll, kvstreg.exe, kvstcheck.exe
# Version and publisher come from the module's version resource (server/KVStVB7Default.rc).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=$1
shift

stage="$out/stage"
rm -rf "$stage"
mkdir -p "$stage/x86"
arch=
for item in "$@"; do
  case $item in
    --x86) arch=x86 ;;
    --x64) arch=x64; mkdir -p "$stage/x64" ;;
    *) [[ -n $arch ]] || { echo "build-package: $item before --x86/--x64" >&2; exit 2; }
       cp "$item" "$stage/$arch/" ;;
  esac
done
for folder in "$stage"/x86 "$stage"/x64; do
  [[ -d $folder ]] && cp "$root/examples/standard/KVStPluginDefault.ini" "$folder/"
done
# The build keeps debugging information; the package does not.
i686-w64-mingw32-strip "$stage"/x86/*.dll "$stage"/x86/*.exe
[[ -d $stage/x64 ]] && x86_64-w64-mingw32-strip "$stage"/x64/*.dll "$stage"/x64/*.exe
# The 32-bit kvstcheck sits at the top of the installed folder and audits through the 32-bit plug-in;
# the 64-bit one, in x64, through the 64-bit plug-in.
mv "$stage/x86/kvstcheck.exe" "$stage/"
cp "$here/README-Windows.txt" "$stage/"

rc="$root/server/KVStVB7Default.rc"
resource_value() { sed -n "s/^ *VALUE \"$1\", \"\(.*\)\"\r\?$/\1/p" "$rc"; }
version=$(resource_value ProductVersion)
publisher=$(resource_value CompanyName)
[[ -n $version && -n $publisher ]] || { echo "build-package: no ProductVersion/CompanyName in $rc" >&2; exit 1; }

setup="$out/KVStVB7Default-$version-setup.exe"
zip="$out/KVStVB7Default-$version.zip"
defines=(-DVERSION="$version" -DPUBLISHER="$publisher" -DOUTFILE="$setup"
         -DSTAGE="$stage" -DSTAGE32="$stage/x86" -DSTANDARD="$stage/x86/KVStPluginDefault.ini" -DREADME="$stage/README-Windows.txt")
[[ -d $stage/x64 ]] && defines+=(-DSTAGE64="$stage/x64")
makensis -V2 -INPUTCHARSET UTF8 "${defines[@]}" "$here/KVStVB7Default.nsi"
rm -f "$zip"
(cd "$stage" && zip -q -X -r "$zip" .)
echo "package: $setup ($(stat -c %s "$setup") bytes)"
echo "package: $zip ($(stat -c %s "$zip") bytes)"
