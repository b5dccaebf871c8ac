#!/usr/bin/env bash
# The command lines of tools/run.sh and the other tools, as a person types
# them on a machine with only the C, C.UTF-8 and POSIX locales: a bad
# value gives one line on stderr, nothing on stdout, and exit 2; non-ASCII
# text reaches the device whole; an interrupted run leaves the device as it
# was.
#
#   tests/tools_cmdline.sh BUILD_DIR
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
export QZL_BUILD=$build
unset LANG LC_CTYPE LC_MESSAGES
export LC_ALL=C.UTF-8
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "tools_cmdline: Test failed: $*"
  failures=$((failures + 1))
}

# Runs a command; its stdout, stderr and exit code land in $out, $err, $rc.
capture() {
  "$@" >"$scratch/out" 2>"$scratch/err"
  rc=$?
  out=$(cat "$scratch/out")
  err=$(cat "$scratch/err")
}

# exit code | what stderr says | command (after the build: QZL_NO_BUILD)
seventeen=$(for _ in $(seq 17); do printf -- '--set ShowSeconds=1 '; done)
rows=(
  "2|unknown option '--bogus'|tools/run.sh --bogus"
  "2|--time needs a value|tools/run.sh --time"
  "2|--operator needs a value|tools/run.sh qvga96 --operator"
  "2|the item has no setting 'NoSuch'|tools/run.sh --set NoSuch=1"
  "2|ShowOpName takes 0 to 1|tools/run.sh --set ShowOpName=2"
  "2|SecondFontSize takes 16 to 30, up to the HourMinFontSize (30)|tools/run.sh --set HourMinFontSize=30 --set SecondFontSize=31"
  "2|16 settings at most|tools/run.sh $seventeen"
  "2|'nosuch' is not a device profile|tools/run.sh nosuch"
  "2|N must be a whole number of runs|tools/repeat-tests.sh abc"
  "2|usage: tools/wine-servers.sh start|tools/wine-servers.sh"
  "2|usage: tools/wine-servers.sh start|tools/wine-servers.sh begin $build"
  "2|no device 'nosuch'|tools/wine-servers.sh start $build nosuch"
  "2|no folder '$scratch/none'|font/digitstrip.sh $build $scratch/none/digits.png"
  "2|usage: tools/reliability.sh|tools/reliability.sh --fast"
)
for row in "${rows[@]}"; do
  IFS='|' read -r want says command <<<"$row"
  # Split as a shell would, without globbing.
  set -f
  # shellcheck disable=SC2086
  capture env QZL_NO_BUILD=1 "$root/"$command
  set +f
  [ "$rc" = "$want" ] || fail "$command: exit code $rc, expected $want"
  [ -z "$out" ] || fail "$command: wrote on stdout: $out"
  [ "$(printf '%s\n' "$err" | grep -c .)" = 1 ] || fail "$command: one line on stderr expected, got: $err"
  printf '%s' "$err" | grep -qF -- "$says" || fail "$command: stderr does not say \"$says\": $err"
done

# With the build done, run.sh's build says one line.
capture "$root/tools/run.sh" --bogus
[ "$rc" = 2 ] && [ -z "$out" ] || fail "run.sh --bogus after the build: exit $rc, stdout '$out'"
[ "$(printf '%s\n' "$err" | head -1)" = "run: nothing to rebuild" ] && [ "$(printf '%s\n' "$err" | grep -c .)" = 2 ] ||
  fail "run.sh --bogus after the build said: $err"

# Non-ASCII text, typed: the operator's name as the item's own text calls
# draw it, and as the same name read from a UTF-16 registry file draws it;
# a file name with an accent.
name='Télé2 Ünïcode'
capture env QZL_NO_BUILD=1 "$root/tools/run.sh" qvga96 --time 2024-03-15T09:41:00 --operator "$name" \
  --log-texts "$scratch/textes-dessinés.txt" --screenshot "$scratch/café.png"
[ "$rc" = 0 ] && [ -f "$scratch/café.png" ] || fail "run.sh with '$name' into café.png: exit $rc, files: $(ls "$scratch"): $err"
[ "$out" = "Wrote the Today screen of device qvga96 to $scratch/café.png" ] || fail "run.sh said: $out"
grep -qxF "$name" "$scratch/textes-dessinés.txt" ||
  fail "the item did not draw '$name'; it drew: $(sort -u "$scratch/textes-dessinés.txt" 2>/dev/null | tr '\n' '|')"
regfile=$scratch/operator.reg
{
  printf '\xff\xfe'
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\System\\State\\Phone]\r\n"Current Operator Name"="%s"\r\n' \
    "$name" | iconv -f UTF-8 -t UTF-16LE
} >"$regfile"
prefix=$build/devices/qvga96
QZL_PREFIX=$prefix "$root/tools/wine-run.sh" regedit /s "Z:${regfile//\//\\}"
QZL_NO_BUILD=1 "$root/tools/run.sh" qvga96 --time 2024-03-15T09:41:00 --phone-status 32 \
  --screenshot "$scratch/from-registry.png" >/dev/null 2>&1
QZL_PREFIX=$prefix "$root/tools/wine-run.sh" reg add 'HKLM\System\State\Phone' /v 'Current Operator Name' \
  /d 'Marrowfen Mobile' /f >/dev/null 2>&1
cmp -s "$scratch/café.png" "$scratch/from-registry.png" ||
  fail "the typed name '$name' is not drawn as the same name from the registry"

# A windowed run ended by TERM (as Ctrl-C ends it at a terminal) closes the
# emulator, which undoes its change.
setting() {
  QZL_PREFIX=$prefix "$root/tools/wine-run.sh" reg query 'HKCU\SOFTWARE\Marrowfen\Quartzel' /v VerticalBorderHeight 2>/dev/null |
    tr -d '\r' | awk '$1 == "VerticalBorderHeight" { print $3 }'
}
QZL_NO_BUILD=1 "$root/tools/run.sh" qvga96 --set VerticalBorderHeight=7 >"$scratch/windowed.txt" 2>&1 &
runner=$!
for _ in $(seq 100); do [ "$(setting)" = 0x7 ] && break; sleep 0.2; done
[ "$(setting)" = 0x7 ] || fail "the windowed run did not set VerticalBorderHeight"
kill -TERM "$runner"
wait "$runner"
rc=$?
[ "$rc" = 143 ] || fail "run.sh ended by TERM: exit $rc, expected 143"
grep -q 'the Today screen was closed and its device changes undone' "$scratch/windowed.txt" ||
  fail "run.sh ended by TERM said: $(cat "$scratch/windowed.txt")"
[ -z "$(setting)" ] || fail "VerticalBorderHeight is $(setting) after the interrupted run, expected none"

[ "$failures" = 0 ] && echo "tools_cmdline: all rows passed"
[ "$failures" = 0 ]
