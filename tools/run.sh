#!/usr/bin/env -S LC_ALL=C.UTF-8 QZL_CALLER_LC_ALL=${LC_ALL} bash
# Builds everything on a fresh machine and shows the emulated Today screen
# with the clock. Without a display it writes a screenshot instead.
#
#   tools/run.sh [PROFILE] [emulator flags...]      (PROFILE: qvga96 by default)
#   tools/run.sh --help
#
# The shell itself runs in C.UTF-8, so that a locale the machine lacks
# gives no shell warnings; a caller's LC_ALL (fr_CA.UTF-8) becomes the
# device's locale (--locale fr-CA) unless the flags name one.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QZL_BUILD:-$root/build}

# The profiles, from the table of device/make-device.sh.
profiles() {
  sed -n '/^profiles="/,/^"/p' "$root/device/make-device.sh" | sed '1d;$d'
}

# Rows of host/README.md's tables whose first cell starts with `$1`.
readme_rows() {
  awk -F' [|] ' -v first="^[|] \`$1" '$0 ~ first && NF == 2 { sub(/^[|] /, "", $1); sub(/ [|]$/, "", $2); print $1 "\t" $2 }' \
    "$root/host/README.md" | sed 's/`//g; s/\\|/|/g' | while IFS=$'\t' read -r name text; do
      printf '  %-28s %s\n' "$name" "$text"
    done
}

usage() {
  cat <<EOF
usage: tools/run.sh [PROFILE] [emulator flags...]
       tools/run.sh --help

Builds what is missing, then shows the Today screen of device PROFILE
(qvga96 by default). Without a display it takes a screenshot instead and
writes it to a new file, build/today-PROFILE-N.png, or to the file that
--screenshot names (a Unix path, or a Windows one such as Z:\\tmp\\x.png).

Profiles (name, screen, dpi, locale, bits per pixel):
$(profiles | sed 's/^/  /')

--installed runs a copy of the device (build/installed/PROFILE) without
the hand-made item, given the item by Quartzel.cab's installer model
(Quartzel-desktop.cab: the same instructions over the desktop builds).

Emulator flags (host/README.md):
$(readme_rows '--')

Settings for --set NAME=VALUE:
$(readme_rows '[A-Z]')

Exit codes: 0 done; 1 a window or the PNG could not be made; 2 a bad
command line or profile, or no Today item key, DLL or export.
EOF
}

for arg in "$@"; do
  case $arg in --help|-h) usage; exit 0 ;; esac
done

profile=qvga96
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
  profile=$1
  shift
fi
if ! profiles | awk -v p="$profile" '$1 == p { found = 1 } END { exit !found }'; then
  echo "run: '$profile' is not a device profile; the profiles are: $(profiles | awk '{ printf "%s ", $1 }')" >&2
  exit 2
fi

# Drive Z: is the Linux root in every Wine prefix.
winpath() {
  local path=$1
  [ "${path#/}" != "$path" ] || path=$PWD/$path
  printf 'Z:%s' "${path//\//\\}"
}

# The flags as the emulator takes them: a Unix screenshot or text log path
# made a Windows one, and the caller's LC_ALL as the locale when none is named.
flags=()
shot=
locale_named=
installed=
undo=
while [ $# -gt 0 ]; do
  case $1 in
    --installed) installed=yes; shift; continue ;;
    --screenshot|--log-texts)
      if [ $# -ge 2 ]; then
        [ "$1" != --screenshot ] || shot=$2
        case $2 in [A-Za-z]:*|\\*|--*) ;; *) set -- "$1" "$(winpath "$2")" "${@:3}" ;; esac
      fi ;;
    --locale) locale_named=yes ;;
    --undo) undo=yes ;;
  esac
  flags+=("$1")
  shift
done
caller=${QZL_CALLER_LC_ALL:-}
caller=${caller%%[.@]*}
case $caller in ''|C|POSIX) ;; *) [ -n "$locale_named" ] || flags+=(--locale "${caller//_/-}") ;; esac

# The build's own output goes to stderr, and only what was done: a build
# that had nothing to do is one line.
built() {
  local did=
  set -o pipefail
  "$root/tools/setup.sh" 2>&1 | {
    while IFS= read -r line; do
      case $line in *"] Built target "*) continue ;; esac
      did=yes
      printf '%s\n' "$line"
    done
    [ -n "$did" ] || echo "run: nothing to rebuild"
  } >&2
}
# QZL_NO_BUILD=1: the build is done (the tests that run this script).
[ -n "${QZL_NO_BUILD:-}" ] || built
export QZL_PREFIX="$build/devices/$profile"
if [ -n "$installed" ]; then
  "$root/tools/with-display.sh" /usr/bin/python3 "$root/install/winedevice.py" installed "$QZL_PREFIX" "$build/installed/$profile" \
    "$build/Quartzel-desktop.cab" || exit 1
  QZL_PREFIX=$build/installed/$profile
fi
if [ -n "$undo" ]; then
  exec "$root/tools/wine-run.sh" "$build/bin/todayemu.exe" --undo
fi

# Wine gives a window's program no word of Ctrl-C, and a signal ends it at
# once, leaving its device changes (the next run undoes them). So the
# emulator runs in the background, and Ctrl-C or a TERM here closes its
# window, as Esc does: it undoes its changes and ends.
emulator=
close_emulator() { # exit-code
  trap - INT TERM HUP
  local tries=0
  while [ -n "$emulator" ] && kill -0 "$emulator" 2>/dev/null && [ $tries -lt 20 ]; do
    "$root/tools/wine-run.sh" taskkill /im todayemu.exe >/dev/null 2>&1
    sleep 0.5
    tries=$((tries + 1))
  done
  if [ -n "$emulator" ] && kill -0 "$emulator" 2>/dev/null; then
    kill "$emulator" 2>/dev/null
    echo "run: interrupted; the Today screen did not close, and its device changes are undone by the next run" >&2
  else
    echo "run: interrupted; the Today screen was closed and its device changes undone" >&2
  fi
  exit "$1"
}
trap 'close_emulator 130' INT
trap 'close_emulator 143' TERM
trap 'close_emulator 129' HUP
in_background() {
  "$@" &
  emulator=$!
  wait "$emulator"
}

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1 && [ -z "$shot" ]; then
  set +e
  in_background "$root/tools/wine-run.sh" "$build/bin/todayemu.exe" ${flags[@]+"${flags[@]}"}
  exit $?
fi
# The screenshot's flag goes first: a flag at the end of the line that
# lacks its value is then told so, instead of taking this one.
if [ -z "$shot" ]; then
  n=1
  while [ -e "$build/today-$profile-$n.png" ]; do n=$((n + 1)); done
  shot=$build/today-$profile-$n.png
  flags=(--screenshot "$(winpath "$shot")" ${flags[@]+"${flags[@]}"})
fi
set +e
in_background "$root/tools/with-display.sh" "$root/tools/wine-run.sh" "$build/bin/todayemu.exe" "${flags[@]}"
rc=$?
set -e
[ "$rc" -eq 0 ] && echo "Wrote the Today screen of device $profile to $shot"
exit "$rc"
