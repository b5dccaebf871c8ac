#!/usr/bin/env bash
# Starts or stops the Wine server of each device of a build.
#
#   tools/wine-servers.sh start|stop BUILD_DIR [PROFILE...]   (all devices by default)
#
# A started server persists until stopped, so that each program run in the
# device starts in a fraction of a second instead of booting it anew.
# Stopping waits for the server to end, then removes the folder it kept in
# the system's temporary folder (Debian's Wine names it in the prefix's
# `wineserver` file), which Wine itself leaves behind.
set -u
usage="usage: tools/wine-servers.sh start|stop BUILD_DIR [PROFILE...]"
case ${1:-} in
  start|stop) ;;
  *) echo "$usage" >&2; exit 2 ;;
esac
[ $# -ge 2 ] && [ -d "$2/devices" ] || { echo "wine-servers: no devices in '${2:-}' (build them first); $usage" >&2; exit 2; }
action=$1 build=$2
shift 2
devices=()
if [ $# -eq 0 ]; then
  for device in "$build"/devices/*/; do devices+=("${device%/}"); done
else
  for profile in "$@"; do
    [ -f "$build/devices/$profile/system.reg" ] || { echo "wine-servers: no device '$profile' in $build/devices" >&2; exit 2; }
    devices+=("$build/devices/$profile")
  done
fi
for device in "${devices[@]}"; do
  prefix=$(readlink -f "$device")
  case $action in
    start) WINEPREFIX=$prefix wineserver -p 2>/dev/null || true ;;
    stop)
      WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
      WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
      folder=$(cat "$prefix/wineserver" 2>/dev/null) || continue
      case $folder in
        wine-*) WINEPREFIX=$prefix wineserver -k0 2>/dev/null || rm -rf "${TMPDIR:-/tmp}/$folder" ;;
      esac ;;
  esac
done
