#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian machine (run as root).
# Idempotent: when every package is already present it only checks and returns.
set -euo pipefail

packages=(
  wine wine32:i386 wine64 wine64-tools libwine-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-tools
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  cmake make googletest
  nlohmann-json3-dev libcli11-dev libtomlplusplus-dev
  python3-ezdxf python3-jsonschema librecad-data
  nsis zip
  chromium fonts-wqy-zenhei
)

missing=()
for pkg in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  missing+=(wine32:i386)
fi

if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "setup: missing packages (${missing[*]}); run this script as root" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
echo "setup: all build and test packages are installed"
