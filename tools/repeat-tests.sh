#!/usr/bin/env -S LC_ALL=C.UTF-8 bash
# Runs each test of the ctest suite that matches a pattern N times in a row
# and counts its failures: input tests must pass whatever the machine's pace.
# Not part of CI. The output of a failed run is kept in a temporary folder
# (named at the end); with no failure nothing is left behind.
#
#   tools/repeat-tests.sh [N] [ctest name pattern]     (default: 50 tap_menu)
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QZL_BUILD:-$root/build}
runs=${1:-50}
pattern=${2:-tap_menu}
case $runs in
  ''|*[!0-9]*|0*) echo "repeat-tests: N must be a whole number of runs, 1 or more (got '$runs'); usage: tools/repeat-tests.sh [N] [PATTERN]" >&2; exit 2 ;;
esac
[ $# -le 2 ] || { echo "usage: tools/repeat-tests.sh [N] [PATTERN]" >&2; exit 2; }
tests=$(cd "$build" && ctest -N -R "$pattern" | sed -n 's/^ *Test *#[0-9]*: //p')
if [ -z "$tests" ]; then
  echo "no test matches $pattern" >&2
  exit 2
fi
log=$(mktemp -d)

# One persistent Wine server per device, as tools/test.sh keeps them.
"$root/tools/wine-servers.sh" start "$build"

total=0
for test in $tests; do
  failed=0
  start=$(date +%s)
  for i in $(seq "$runs"); do
    if ! (cd "$build" && "$root/tools/with-display.sh" ctest -R "^${test}\$" --output-on-failure) \
        >"$log/$test-$i.txt" 2>&1; then
      failed=$((failed + 1))
      grep -h "Test failed" "$log/$test-$i.txt" | sed "s/^/  run $i: /"
    else
      rm -f "$log/$test-$i.txt"
    fi
  done
  echo "$test: $failed of $runs runs failed ($(( $(date +%s) - start )) s)"
  total=$((total + failed))
done
"$root/tools/wine-servers.sh" stop "$build"
if [ "$total" -eq 0 ]; then
  rm -rf "$log"
  exit 0
fi
echo "logs of failed runs: $log"
exit 1
