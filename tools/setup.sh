#!/usr/bin/env bash
# Brings a fresh Debian 12 machine to a built tree: installs the packages
# the build and the emulated devices need, then configures and builds
# everything (the DLL, the font, the emulator, the tests, the devices), and
# the handheld's DLL with the toolchain from ../shared/toolchains (unpacked
# into the build folder once).
#
#   tools/setup.sh [--handheld-only]
#
# --handheld-only builds the handheld's DLL and QZL.ttf and checks the DLL
# (the handheld_dll test), with neither Wine nor the emulated devices.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QZL_BUILD:-$root/build}
handheld_only=
case ${1:-} in
  --handheld-only) handheld_only=yes ;;
  '') ;;
  *) echo "usage: tools/setup.sh [--handheld-only]" >&2; exit 2 ;;
esac

shared=${QZL_SHARED:-$root/../shared}
archive=$shared/toolchains/arm-mingw32ce-gcc4.4.0.tar.xz
if [ ! -f "$archive" ]; then
  echo "error: the handheld's toolchain is missing: no $archive" >&2
  echo "  (the repository expects shared/ beside it, at ../shared, or its path in QZL_SHARED)" >&2
  exit 1
fi

# The toolchain's programs need libgmp10, libmpfr6 and zlib1g.
packages="cmake make g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth x11-utils fonts-wine python3-fonttools
  python3-unicorn gcab cabextract libgmp10 libmpfr6 zlib1g unicode-data fonts-noto-core fonts-noto-cjk"
[ -z "$handheld_only" ] || packages="cmake make python3 python3-fonttools gcab cabextract libgmp10 libmpfr6 zlib1g"
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

# The toolchain, unpacked again only when the archive changes.
toolchain=$build/toolchain
stamp=$(sha256sum "$archive" | cut -d' ' -f1)
if [ "$(cat "$toolchain/.unpacked" 2>/dev/null)" != "$stamp" ]; then
  rm -rf "$toolchain"
  mkdir -p "$toolchain"
  tar -xJf "$archive" -C "$toolchain"
  echo "$stamp" > "$toolchain/.unpacked"
fi

build_handheld() {
  cmake -S "$root/handheld" -B "$build/handheld" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/arm-mingw32ce.cmake" \
    -DQZL_ARM_TOOLCHAIN="$toolchain/arm-mingw32ce" >/dev/null
  cmake --build "$build/handheld" -j"$(nproc)"
}
if [ -n "$handheld_only" ]; then
  build_handheld
  mkdir -p "$build/font"
  /usr/bin/python3 "$root/font/make_qzl.py" "$build/font/QZL.ttf"
  /usr/bin/python3 "$root/tests/handheld_dll.py" "$toolchain/arm-mingw32ce/bin/arm-mingw32ce-objdump" \
    "$build/handheld/quartzel.dll" "$shared/handheld-api.txt"
  echo "Built $build/handheld/quartzel.dll and $build/font/QZL.ttf, and checked the DLL (README: On a handheld)"
  exit 0
fi
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DQZL_SHARED_DIR="$shared" >/dev/null
cmake --build "$build" -j"$(nproc)"
build_handheld
