#!/usr/bin/env -S LC_ALL=C.UTF-8 bash
# Builds everything on a fresh machine and runs every test under Wine.
#
#   tools/test.sh [ctest arguments...]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QZL_BUILD:-$root/build}
"$root/tools/setup.sh"
start=$(date +%s)

# One persistent Wine server per device for the whole run.
"$root/tools/wine-servers.sh" start "$build"
set +e
(cd "$build" && "$root/tools/with-display.sh" ctest --output-on-failure "$@")
rc=$?
set -e
"$root/tools/wine-servers.sh" stop "$build"
echo "test wall time: $(( $(date +%s) - start )) s"
exit $rc
