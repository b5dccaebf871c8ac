#!/usr/bin/env bash
# Runs a command with the X server the emulated devices draw on: a private
# Xvfb that lives as long as the command does, with one screen for each
# depth a device draws at. Screen 0 is 16 bits per pixel (RGB 5-6-5, the
# handheld's), screen 1 depth 24 (which Wine draws at 32 bits per pixel).
# QZL_XSERVER names the server (":N") for tools/wine-run.sh, which runs each
# device on the screen of its depth; DISPLAY is screen 0. A command run
# inside another's server (QZL_XSERVER set and answering) uses that one.
set -u
if [ -n "${QZL_XSERVER:-}" ] && DISPLAY="$QZL_XSERVER" xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi
for n in $(seq 90 140); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || { disp=$n; break; }
done
Xvfb ":$disp" -screen 0 1280x1024x16 -screen 1 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$disp" ] && break; sleep 0.1; done
export QZL_XSERVER=":$disp" DISPLAY=":$disp.0"
"$@"
rc=$?
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit $rc
