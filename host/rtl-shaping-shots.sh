#!/usr/bin/env bash
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
# "Marrowfen Mobile of the Northern Isles", in Arabic. The command line
# reaches Wine in the shell's character set, so the name goes into the
# device's phone state through a UTF-16 registry file instead.
operator='\u0645\u0627\u0631\u0648\u0641\u0646 \u0645\u0648\u0628\u0627\u064a\u0644 \u0644\u0644\u062c\u0632\u0631 \u0627\u0644\u0634\u0645\u0627\u0644\u064a\u0629'
regfile=$(mktemp --suffix=.reg)
trap 'rm -f "$regfile"' EXIT
python3 -c 'import sys; open(sys.argv[1], "w", encoding="utf-16").write(
    "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\System\\State\\Phone]\r\n"
    "\"Current Operator Name\"=\"%s\"\r\n" % sys.argv[2].encode().decode("unicode_escape"))' "$regfile" "$operator"
run qvga96 regedit /s "Z:${regfile//\//\\}"
# The phone state turns on the settings that show the operator.
shot qvga96 ar-SA qvga96-ar-SA-operator --phone-status 32
run qvga96 reg add 'HKLM\System\State\Phone' /v 'Current Operator Name' /d 'Marrowfen Mobile' /f >/dev/null
