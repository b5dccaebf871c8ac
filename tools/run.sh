#!/usr/bin/env bash
# Builds everything on a fresh machine and shows the emulated Today screen
# with the clock. Without a display it writes a screenshot instead.
#
#   tools/run.sh [PROFILE] [emulator flags...]      (PROFILE: qvga96 by default)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QZL_BUILD:-$root/build}
profile=qvga96
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
  profile=$1
  shift
fi
"$root/tools/setup.sh"
export QZL_PREFIX="$build/devices/$profile"
[ -d "$QZL_PREFIX" ] || { echo "run: no device profile '$profile' (see $build/devices)" >&2; exit 2; }
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$root/tools/wine-run.sh" "$build/bin/todayemu.exe" "$@"
fi
shot="$build/today-$profile.png"
# Drive Z: is the Linux root in every Wine prefix.
winshot="Z:$(echo "$shot" | tr / '\\')"
"$root/tools/with-display.sh" "$root/tools/wine-run.sh" "$build/bin/todayemu.exe" --screenshot "$winshot" "$@"
echo "No display: wrote the Today screen of device $profile to $shot"
