#!/usr/bin/env -S LC_ALL=C.UTF-8 bash
# Draws the ten digits of QZL.ttf at the clock's 96 and 192 dpi hour heights.
#
#   font/digitstrip.sh BUILD_DIR OUT.png [FONT.ttf]
#
# FONT defaults to the build's QZL.ttf. DISPLAY is not needed: the strip is
# drawn into memory. Any device of the build will do to run it.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: font/digitstrip.sh BUILD_DIR OUT.png [FONT.ttf]" >&2
  exit 2
fi
[ -d "$1" ] || { echo "digitstrip: no build folder '$1'" >&2; exit 2; }
[ -f "${3:-$1/font/QZL.ttf}" ] || { echo "digitstrip: no font file '${3:-$1/font/QZL.ttf}'" >&2; exit 2; }
build=$(cd "$1" && pwd)
out=$2
font=${3:-$build/font/QZL.ttf}
winpath() {
  local path
  path=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
  printf 'Z:%s' "${path//\//\\}"
}
[ -d "$(dirname "$out")" ] || { echo "digitstrip: no folder '$(dirname "$out")' for $out" >&2; exit 2; }
QZL_PREFIX="$build/devices/qvga96" "$here/../tools/wine-run.sh" \
  "$build/bin/digitstrip.exe" "$(winpath "$font")" "$(winpath "$out")"
echo "$out"
