#!/usr/bin/env bash
# Runs a Windows program of the build under Wine in an emulated device.
# QZL_PREFIX names the device (a Wine prefix made by device/make-device.sh);
# DISPLAY must name a running X server (tools/with-display.sh starts one).
set -u
: "${QZL_PREFIX:?QZL_PREFIX must name a device prefix (see device/make-device.sh)}"
if [ ! -f "$QZL_PREFIX/system.reg" ]; then
  echo "wine-run: no device at $QZL_PREFIX (build the 'devices' target first)" >&2
  exit 2
fi
export WINEPREFIX="$QZL_PREFIX" WINEARCH=win64
# The device's locale (QZL_LOCALE overrides it for one run).
if [ -n "${QZL_LOCALE:-}" ]; then
  export LC_ALL="$QZL_LOCALE"
elif [ -f "$QZL_PREFIX/quartzel-profile.env" ]; then
  export "$(cat "$QZL_PREFIX/quartzel-profile.env")"
fi
export WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
