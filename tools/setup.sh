#!/usr/bin/env bash
# Brings a fresh Debian 12 machine to a built tree: installs the packages
# the build and the emulated devices need, then configures and builds
# everything (the DLL, the font, the emulator, the tests, the devices).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QZL_BUILD:-$root/build}

packages="cmake make g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth x11-utils fonts-wine python3-fonttools python3-unicorn"
missing=
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  sudo=
  [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)"
