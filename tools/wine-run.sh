#!/usr/bin/env bash
# Runs a Windows program of the build under Wine in an emulated device.
# QZL_PREFIX names the device (a Wine prefix made by device/make-device.sh);
# it draws on the screen of its depth of the X server that
# tools/with-display.sh started (QZL_XSERVER), which serves the run when
# there is none. Only a caller's own display with no such server (a person
# watching tools/run.sh) is taken as it is, at its own depth. QZL_LOCALE
# overrides the device's locale for one run.
set -u
: "${QZL_PREFIX:?QZL_PREFIX must name a device prefix (see device/make-device.sh)}"
prefix=$(readlink -f "$QZL_PREFIX")
if [ ! -f "$prefix/system.reg" ]; then
  echo "wine-run: no device at $QZL_PREFIX (build the 'devices' target first)" >&2
  exit 2
fi
profile_value() { # NAME
  [ -f "$prefix/quartzel-profile.env" ] && sed -n "s/^$1=//p" "$prefix/quartzel-profile.env"
}
bpp=$(profile_value BPP)
if [ -n "${QZL_XSERVER:-}" ]; then
  # Screen 1 is the server's 32-bit one; a device made before depths were
  # recorded draws at 16.
  screen=0
  [ "$bpp" = 32 ] && screen=1
  export DISPLAY="$QZL_XSERVER.$screen"
fi
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  # A person at a terminal learns that windows will not show.
  [ -t 2 ] && echo "wine-run: no X display at DISPLAY='${DISPLAY:-}'; running on a private one, where nothing shows" >&2
  exec "$(dirname "$0")/with-display.sh" "$0" "$@"
fi
if [ -z "${QZL_XSERVER:-}" ] && [ -t 2 ]; then
  echo "wine-run: the device draws at the depth of DISPLAY='$DISPLAY', not at its own ${bpp:-16} bits per pixel" >&2
fi
locale=${QZL_LOCALE:-$(profile_value LC_ALL)}
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
