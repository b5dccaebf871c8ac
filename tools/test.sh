#!/usr/bin/env bash
# Builds everything on a fresh machine and runs every test under Wine.
#
#   tools/test.sh [ctest arguments...]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QZL_BUILD:-$root/build}
"$root/tools/setup.sh"
start=$(date +%s)

# One persistent Wine server per device for the whole run: a test program
# then starts in a fraction of a second instead of booting the device anew.
servers() {
  for device in "$build"/devices/*/; do
    WINEPREFIX=$(readlink -f "$device") wineserver "$1" 2>/dev/null || true
  done
}
servers -p
set +e
(cd "$build" && "$root/tools/with-display.sh" ctest --output-on-failure "$@")
rc=$?
set -e
servers -k
echo "test wall time: $(( $(date +%s) - start )) s"
exit $rc
