#!/usr/bin/env -S LC_ALL=C.UTF-8 bash
# The long runs of the fault, fuzz and soak tests (the ctest suite runs
# short versions with the same fixed seeds), written to
# build/reliability/reliability.md; with --update-docs, to
# docs/reliability.md too. Exit code 1 when a run failed.
#
#   tools/reliability.sh [--update-docs]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QZL_BUILD:-$root/build}
update_docs=
runs=9
case ${1:-} in
  --update-docs) update_docs=yes ;;
  '') ;;
  *) echo "usage: tools/reliability.sh [--update-docs]" >&2; exit 2 ;;
esac
echo "Building (tools/setup.sh; its steps follow, those with nothing to do left out)..."
set +e
"$root/tools/setup.sh" | grep --line-buffered -v '\] Built target '
built=${PIPESTATUS[0]}
set -e
[ "$built" = 0 ] || { echo "reliability: the build failed" >&2; exit 1; }
echo "Running $runs long runs, each named as it starts and reported as it ends..."
log=$build/reliability
rm -rf "$log"
mkdir -p "$log"
done_runs=0
failed=0

run() { # name profile env... -- exe
  local name=$1 profile=$2
  shift 2
  local start rc
  start=$(date +%s)
  echo "[$((done_runs + 1))/$runs] $name on $profile: running..."
  set +e
  env "$@" QZL_PREFIX="$build/devices/$profile" "$root/tools/with-display.sh" \
    "$root/tools/wine-run.sh" "$build/bin/$name.exe" 2>&1 | tr -d '\r' >"$log/$name-$profile.txt"
  rc=${PIPESTATUS[0]}
  set -e
  local secs=$(( $(date +%s) - start ))
  echo "$name $profile $rc $secs" >>"$log/summary.txt"
  done_runs=$((done_runs + 1))
  [ "$rc" = 0 ] || failed=$((failed + 1))
  echo "[$done_runs/$runs] $name on $profile: $(verdict "$rc") in $secs s: $(counts "$name" "$profile")"
}
verdict() { [ "$1" = 0 ] && echo "passed" || echo "FAILED ($1)"; }
counts() { grep -h 'checks,' "$log/$1-$2.txt" | tail -1; }

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
    echo "| $name | $profile | $(verdict "$rc"): $(counts "$name" "$profile") | ${secs} s |"
  done <"$log/summary.txt"
  for f in "$log"/*-*.txt; do
    echo
    echo "## $(basename "$f" .txt)"
    echo
    echo '```'
    grep -v '^$' "$f" | tail -25
    echo '```'
  done
} >"$log/reliability.md"
echo "Wrote $log/reliability.md ($failed of $runs runs failed)"
if [ -n "$update_docs" ]; then
  cp "$log/reliability.md" "$root/docs/reliability.md"
  echo "Updated docs/reliability.md"
fi
[ "$failed" -eq 0 ]
