#!/usr/bin/env -S LC_ALL=C.UTF-8 bash
# Takes the project's Today-screen screenshots with todayemu.exe.
#
#   host/screenshots.sh BUILD_DIR OUT_DIR
#
# BUILD_DIR holds bin/todayemu.exe and the devices (target 'devices').
# The devices' X server (tools/with-display.sh) serves all shots, each
# device at its own depth. The device clock is fixed, so the pictures are
# the same on every run.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${QZL_XSERVER:-}" ]; then
    exec "$here/../tools/with-display.sh" "$0" "$@"
fi
[ $# -eq 2 ] || { echo "usage: host/screenshots.sh BUILD_DIR OUT_DIR" >&2; exit 2; }
build=$(cd "$1" && pwd)
out=$2
mkdir -p "$out"
time=2024-03-15T09:41:00   # a Friday morning

shot() {
    local profile=$1 name=$2
    shift 2
    QZL_PREFIX="$build/devices/$profile" "$here/../tools/wine-run.sh" \
        "$build/bin/todayemu.exe" --time "$time" --screenshot "$(winepath_of "$out/$name.png")" "$@"
    echo "$out/$name.png"
}

# todayemu.exe wants a Windows path; Wine maps Z: to the Unix root.
winepath_of() {
    local path
    path=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
    printf 'Z:%s' "${path//\//\\}"
}

shot qvga96 today-qvga96
shot qvga96 today-qvga96-selected --select
shot qvga96 today-qvga96-alarm --alarm 0=on,days=0x1f,time=07:00
shot qvga96 today-qvga96-landscape --rotate
shot qvga96 today-qvga96-24h --locale dots
shot qvga96-de today-qvga96-de
shot qvga96-nofont today-qvga96-nofont
shot square128 today-square128
shot vga192 today-vga192
shot square128-nofont today-square128-nofont
shot vga192-nofont today-vga192-nofont
shot vga192 today-vga192-alarm --alarm 0=on,days=0x7f,time=07:00
# The other screens the platform's devices shipped with; a turned one is a
# device of its own (Wine's virtual desktop has no 400x240 or 800x480 mode).
for profile in square96 wqvga96 wqvga96-landscape square192 wvga192 wvga192-landscape vga192-landscape; do
    shot "$profile" "today-$profile"
done
# The operator and the phone state turn on the settings that show them.
shot qvga96 today-qvga96-operator --alarm 0=on,days=0x7f,time=07:00 --operator "Marrowfen Mobile" --phone-status 32
shot qvga96 today-qvga96-searching --phone-status 0x400020

# Locales as the platform's data has them, on a 240-pixel strip: a
# separator with a word in it (fr-CA), a long designator with seconds
# (bem-ZM), Japanese and Arabic, and a long date of some fifty characters
# (kde-TZ), and Hindi, Thai and Sinhala, drawn from the faces linked
# behind Tahoma.
shot qvga96 today-qvga96-fr-CA --locale fr-CA
shot qvga96-nofont today-qvga96-nofont-fr-CA --locale fr-CA
shot qvga96 today-qvga96-ja-JP --locale ja-JP
shot qvga96 today-qvga96-ar-SA --locale ar-SA
shot qvga96 today-qvga96-bem-ZM --locale bem-ZM
shot qvga96 today-qvga96-kde-TZ --locale kde-TZ
shot qvga96 today-qvga96-hi-IN --locale hi-IN
shot qvga96 today-qvga96-th-TH --locale th-TH
shot qvga96 today-qvga96-si-LK --locale si-LK
