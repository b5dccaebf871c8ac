#!/usr/bin/env bash
# The long runs of the fault, fuzz and soak tests (the ctest suite runs
# short versions with the same fixed seeds), written to docs/reliability.md.
#
#   tools/reliability.sh
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QZL_BUILD:-$root/build}
"$root/tools/setup.sh" >/dev/null
log=$(mktemp -d)

run() { # name profile env... -- exe
  local name=$1 profile=$2
  shift 2
  local start rc
  start=$(date +%s)
  set +e
  env "$@" QZL_PREFIX="$build/devices/$profile" "$root/tools/with-display.sh" \
    "$root/tools/wine-run.sh" "$build/bin/$name.exe" 2>&1 | tr -d '\r' >"$log/$name-$profile.txt"
  rc=${PIPESTATUS[0]}
  set -e
  echo "$name $profile $rc $(( $(date +%s) - start ))" >>"$log/summary.txt"
}

run test_fuzz_settings qvga96 QZL_FUZZ_CASES=10000
run test_fuzz_locale qvga96 QZL_FUZZ_CASES=1000
run test_watcher_stops qvga96 QZL_STOP_CASES=300
run test_soak qvga96 QZL_SOAK=full
run test_soak vga192 QZL_SOAK=full
run test_host_faults qvga96
run test_call_faults qvga96 QZL_FAULT_POINTS=all
run test_call_faults square128 QZL_FAULT_POINTS=all
run test_call_faults vga192 QZL_FAULT_POINTS=all

{
  echo "# Reliability"
  echo
  echo "Produced $(date -u +%Y-%m-%d) by \`tools/reliability.sh\`: the full counts of the fault, fuzz and soak"
  echo "tests whose short versions (same seeds, fewer cases) run in \`tools/test.sh\`."
  echo
  echo "| Run | Device | Result | Time |"
  echo "|---|---|---|---|"
  while read -r name profile rc secs; do
    verdict=$([ "$rc" = 0 ] && echo "passed" || echo "FAILED ($rc)")
    echo "| $name | $profile | $verdict: $(grep -h 'checks,' "$log/$name-$profile.txt" | tail -1) | ${secs} s |"
  done <"$log/summary.txt"
  for f in "$log"/*-*.txt; do
    echo
    echo "## $(basename "$f" .txt)"
    echo
    echo '```'
    grep -v '^$' "$f" | tail -25
    echo '```'
  done
} >"$root/docs/reliability.md"
cat "$root/docs/reliability.md"
rm -rf "$log"
