#!/usr/bin/env bash
# device/make-device.sh never stops a prefix's server under a running test:
# with a program of the prefix running (the run lock that tools/wine-run.sh
# holds), it waits for it, and past its bound it refuses with a message that
# says why, leaving the prefix and its server alone. Once the test has
# ended it goes ahead.
#
#   tests/device_busy.sh DLL
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
dll=$1
prefix=$(mktemp -d)
failures=0
check() { # condition-status message
  if [ "$1" != 0 ]; then
    echo "device_busy: Test failed: $2"
    failures=$((failures + 1))
  fi
}
cleanup() {
  [ -n "${holder:-}" ] && kill "$holder" 2>/dev/null
  WINEPREFIX=$prefix wineserver -k 2>/dev/null
  rm -rf "$prefix"
}
trap cleanup EXIT

# A test's persistent server, and a test running: the lock held as
# tools/wine-run.sh holds it.
WINEPREFIX=$prefix wineserver -p
(
  exec 8>"$prefix/quartzel-run.lock"
  flock -s 8
  exec sleep 60
) &
holder=$!
for _ in $(seq 50); do flock -n -x "$prefix/quartzel-run.lock" true || break; sleep 0.1; done

start=$(date +%s)
out=$(QZL_DEVICE_WAIT=2 "$root/device/make-device.sh" qvga96 "$prefix" "$dll" 2>&1)
rc=$?
took=$(( $(date +%s) - start ))
echo "$out"
check "$([ "$rc" = 75 ]; echo $?)" "exit code $rc with a test running, expected 75"
check "$(echo "$out" | grep -q 'a test is running in'; echo $?)" "no word that it waits for the running test"
check "$(echo "$out" | grep -q 'the device was not touched'; echo $?)" "no word that it gave up"
check "$([ "$took" -lt 30 ]; echo $?)" "took $took s for a wait of 2 s"
check "$(WINEPREFIX=$prefix wineserver -k0 2>/dev/null; echo $?)" "the test's server was stopped"
check "$([ ! -f "$prefix/system.reg" ] && [ ! -f "$prefix/quartzel-device.log" ]; echo $?)" "the prefix was touched"

# The test ends: make-device now goes ahead, and its first step stops the
# idle server. It is ended there, before it builds anything.
kill "$holder"
wait "$holder" 2>/dev/null
holder=
setsid "$root/device/make-device.sh" qvga96 "$prefix" "$dll" >"$prefix/after.txt" 2>&1 &
maker=$!
stopped=1
for _ in $(seq 100); do
  WINEPREFIX=$prefix wineserver -k0 2>/dev/null || { stopped=0; break; }
  sleep 0.1
done
kill -- "-$maker" 2>/dev/null
wait "$maker" 2>/dev/null
check "$stopped" "did not go ahead once the test had ended (the idle server still runs)"
check "$(! grep -q 'a test is running' "$prefix/after.txt"; echo $?)" "said it waits with no test running"

echo "device_busy: $failures failures"
exit "$failures"
