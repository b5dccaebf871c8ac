#!/usr/bin/env bash
# Runs a Windows program of the build under Wine in an emulated device.
# QZL_PREFIX names the device (a Wine prefix made by device/make-device.sh);
# without a running X server at DISPLAY, a private one serves the run
# (tools/with-display.sh). QZL_LOCALE overrides the device's locale for one
# run.
set -u
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  # A person at a terminal learns that windows will not show.
  [ -t 2 ] && echo "wine-run: no X display at DISPLAY='${DISPLAY:-}'; running on a private one, where nothing shows" >&2
  exec "$(dirname "$0")/with-display.sh" "$0" "$@"
fi
: "${QZL_PREFIX:?QZL_PREFIX must name a device prefix (see device/make-device.sh)}"
prefix=$(readlink -f "$QZL_PREFIX")
if [ ! -f "$prefix/system.reg" ]; then
  echo "wine-run: no device at $QZL_PREFIX (build the 'devices' target first)" >&2
  exit 2
fi
locale=${QZL_LOCALE:-}
if [ -z "$locale" ] && [ -f "$prefix/quartzel-profile.env" ]; then
  locale=$(sed -n 's/^LC_ALL=//p' "$prefix/quartzel-profile.env")
fi
# LC_ALL goes to Wine only, with the locale folder that gives its name
# UTF-8 (tools/wine-locale.sh): the shell itself need not have the locale.
# The run lock, shared, tells device/make-device.sh that a program runs in
# the prefix (it waits rather than stopping the server under it); flock
# holds it itself (-o), so Wine's background processes do not keep it.
. "$(dirname "$0")/wine-locale.sh"
locale_env=()
[ -z "$locale" ] || wine_locale_env "$prefix/quartzel-locales" "$locale"
run() {
  flock -s -o "$prefix/quartzel-run.lock" \
    env WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG="${WINEDEBUG:--all}" \
    WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}" ${locale_env[@]+"${locale_env[@]}"} wine "$@"
}
if [ -t 1 ]; then
  run "$@"
  exit $?
fi
# Wine's own background processes (services, the desktop) outlive the
# program and inherit its output. Into a pipe, that would keep the reader
# (ctest) waiting for the end of the output until they exit; so the output
# goes through files, passed on when the program has ended, each to the
# stream it was written to.
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
run "$@" >"$out" 2>"$err" </dev/null
rc=$?
cat "$out"
cat "$err" >&2
exit $rc
