#!/usr/bin/env bash
# Runs the benchmarks in the QVGA (240x320, 96 dpi) and VGA (480x640,
# 192 dpi) devices and writes the table to docs/performance.md.
#
#   bench/run.sh [STEPS [PASSES]]
#
# STEPS timed paint steps per side and round (31 rounds; default 40). The
# two devices take turns PASSES times (default 3) and each figure is the
# median of its passes, so that the growth from QVGA to VGA compares runs
# made close together on this shared machine; each ratio's spread across
# the passes is shown beside it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QZL_BUILD:-$root/build}
"$root/tools/setup.sh" >/dev/null
steps=${1:-40}
passes=${2:-3}
# Each pass's figures are kept for a look at how the passes differ.
out=$build/bench-passes
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
stop_server() {
  WINEPREFIX=$(readlink -f "$build/devices/$1") wineserver -k 2>/dev/null || true
}
for pass in $(seq "$passes"); do
  for profile in qvga96 vga192; do
    stop_server "$profile"
    taskset -c "$cpu" env QZL_PREFIX="$build/devices/$profile" "$root/tools/with-display.sh" \
      "$root/tools/wine-run.sh" "$build/bin/qzl_bench.exe" "$steps" | tr -d '\r' >"$out/$profile-$pass.txt"
    stop_server "$profile"
  done
done
python3 "$root/bench/report.py" "$steps" "$passes" "$out"/qvga96-*.txt -- "$out"/vga192-*.txt \
  >"$root/docs/performance.md"
cat "$root/docs/performance.md"
echo
echo "Ratios of each pass (paint floor, rebuild, load, options), kept in $out:"
for f in "$out"/*.txt; do
  printf '%s' "$(basename "$f" .txt)"
  for key in ordinary_paint_floor_ratio rebuild_ratio load_ratio options_ratio; do
    printf ' %s' "$(sed -n "s/^RESULT $key //p" "$f")"
  done
  echo
done
echo "load average at the end: $(cat /proc/loadavg)"
