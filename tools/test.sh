#!/usr/bin/env bash
# Builds everything on a fresh machine and runs every test under Wine.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QZL_BUILD:-$root/build}
"$root/tools/setup.sh"
start=$(date +%s)
set +e
(cd "$build" && "$root/tools/with-display.sh" ctest --output-on-failure "$@")
rc=$?
set -e
for device in "$build"/devices/*/; do
  WINEPREFIX=$(readlink -f "$device") wineserver -k 2>/dev/null || true
done
echo "test wall time: $(( $(date +%s) - start )) s"
exit $rc
