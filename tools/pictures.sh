#!/usr/bin/env -S LC_ALL=C.UTF-8 bash
# Regenerates every picture in the README: the Today screenshots, the
# options pages at 96 and 192 dpi, and the digit strip of QZL.ttf.
#
#   tools/pictures.sh [BUILD_DIR]
#
# Run after a build (devices included); starts an X display if none.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
winpath() { printf 'Z:%s' "${1//\//\\}"; }
run() {
  "$root/host/screenshots.sh" "$build" "$root/docs/screenshots"
  # The sheet saves the settings when it closes: the device's own are put
  # back after, so that no later run or test finds them changed.
  local key='HKCU\Software\Marrowfen\Quartzel' kept
  for profile in qvga96 vga192; do
    export QZL_PREFIX="$build/devices/$profile"
    kept=$(mktemp -p "$build" settings-XXXX.reg)
    "$root/tools/wine-run.sh" reg export "$key" "$(winpath "$kept")" /y >/dev/null
    "$root/tools/wine-run.sh" "$build/bin/options_shots.exe" "$(winpath "$root/docs/options")"
    "$root/tools/wine-run.sh" reg delete "$key" /f >/dev/null
    "$root/tools/wine-run.sh" reg import "$(winpath "$kept")" >/dev/null
    rm -f "$kept"
  done
  "$root/font/digitstrip.sh" "$build" "$root/docs/digits/digits-after.png"
}
export -f run winpath; export root build
"$root/tools/with-display.sh" bash -c run
