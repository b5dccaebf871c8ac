#!/usr/bin/env -S LC_ALL=C.UTF-8 bash
# Takes the pictures of the day/date line in two scripts that the platform
# shapes as it draws: Sinhala (si-LK) and Arabic (ar-SA), each with its long
# date, at 96, 128 and 192 dpi, and an Arabic operator name too long for its
# slot.
#
#   host/rtl-shaping-shots.sh BUILD_DIR OUT_DIR [NAME_PREFIX]
#
# Run it inside tools/with-display.sh, whose X server draws each device at
# its own depth (on another display a device takes that display's depth).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
out=$2
prefix=${3:-}
mkdir -p "$out"
out=$(cd "$out" && pwd)
time=2024-03-15T09:41:00

run() {
    local profile=$1
    shift
    QZL_PREFIX="$build/devices/$profile" "$here/../tools/wine-run.sh" "$@"
}
shot() {
    local profile=$1 locale=$2 name=$3
    shift 3
    local path="$out/$prefix$name.png"
    run "$profile" "$build/bin/todayemu.exe" --time "$time" --locale "$locale" \
        --screenshot "Z:${path//\//\\}" "$@"
    echo "$path"
}

for profile in qvga96 square128 vga192; do
    shot "$profile" si-LK "$profile-si-LK"
    shot "$profile" ar-SA "$profile-ar-SA"
done
# "Marrowfen Mobile of the Northern Isles", in Arabic, typed: Wine reads
# the command line as UTF-8 (tools/wine-locale.sh).
operator=$(printf '\u0645\u0627\u0631\u0648\u0641\u0646 \u0645\u0648\u0628\u0627\u064a\u0644 \u0644\u0644\u062c\u0632\u0631 \u0627\u0644\u0634\u0645\u0627\u0644\u064a\u0629')
# The phone state turns on the settings that show the operator.
shot qvga96 ar-SA qvga96-ar-SA-operator --phone-status 32 --operator "$operator"
