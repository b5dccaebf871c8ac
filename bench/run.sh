#!/usr/bin/env -S LC_ALL=C.UTF-8 bash
# Runs the benchmarks in the QVGA (240x320, 96 dpi) and VGA (480x640,
# 192 dpi) devices and writes the tables to build/bench-results/performance.md;
# with --update-docs, to docs/performance.md too.
#
#   bench/run.sh [--update-docs] [STEPS [PASSES]]
#
# STEPS timed paint steps per side and round (31 rounds; default 40). The
# two devices take turns PASSES times (default 3) and each figure is the
# median of its passes, so that the growth from QVGA to VGA compares runs
# made close together on this shared machine; each ratio's spread across
# the passes is shown beside it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QZL_BUILD:-$root/build}
update_docs=
if [ "${1:-}" = --update-docs ]; then
  update_docs=yes
  shift
fi
steps=${1:-40}
passes=${2:-3}
case $steps$passes in *[!0-9]*|'')
  echo "usage: bench/run.sh [--update-docs] [STEPS [PASSES]]" >&2
  exit 2 ;;
esac
echo "Building..."
"$root/tools/setup.sh" >/dev/null
# Each pass's figures are kept for a look at how the passes differ.
results=$build/bench-results
out=$results/passes
rm -rf "$out"
mkdir -p "$out"
# The benchmark, the device's wineserver and (without a display of the
# caller's) its X server all run on one processor, as on the handheld.
# Spread over two, every call that waits for the server waits for a wake-up
# on the other processor too, which under a virtual machine costs from 5 to
# 70 microseconds as the host schedules it: the item makes more such calls
# than its references, so its ratios moved with the machine. The device's
# server is stopped first, so that the one the run starts is pinned too.
cpu=$(( $(nproc) - 1 ))
# One pass's ratios on one line.
ratios() {
  local key
  for key in ordinary_paint_floor_ratio rebuild_ratio load_ratio options_ratio; do
    printf ' %s %s' "${key%_ratio}" "$(sed -n "s/^RESULT $key //p" "$1")"
  done
}
echo "$passes passes of $steps steps on processor $cpu; load average $(cut -d' ' -f1-3 /proc/loadavg)"
for pass in $(seq "$passes"); do
  for profile in qvga96 vga192; do
    printf 'pass %d/%d, %s: ' "$pass" "$passes" "$profile"
    start=$(date +%s)
    "$root/tools/wine-servers.sh" stop "$build" "$profile"
    taskset -c "$cpu" env QZL_PREFIX="$build/devices/$profile" "$root/tools/with-display.sh" \
      "$root/tools/wine-run.sh" "$build/bin/qzl_bench.exe" "$steps" | tr -d '\r' >"$out/$profile-$pass.txt"
    "$root/tools/wine-servers.sh" stop "$build" "$profile"
    echo "$(( $(date +%s) - start )) s,$(ratios "$out/$profile-$pass.txt")"
  done
done
python3 "$root/bench/report.py" "$steps" "$passes" "$out"/qvga96-*.txt -- "$out"/vga192-*.txt \
  >"$results/performance.md"
sed -n '/^| Measure/,/^$/p' "$results/performance.md"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Wrote $results/performance.md (each pass's figures in $out)"
if [ -n "$update_docs" ]; then
  cp "$results/performance.md" "$root/docs/performance.md"
  echo "Updated docs/performance.md"
fi
