#!/usr/bin/env bash
# Takes the project's Today-screen screenshots with todayemu.exe.
#
#   host/screenshots.sh BUILD_DIR OUT_DIR
#
# BUILD_DIR holds bin/todayemu.exe and the devices (target 'devices');
# DISPLAY must name a running X server (tools/with-display.sh starts one).
# The device clock is fixed, so the pictures are the same on every run.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
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

# Settings for one shot: NAME=VALUE pairs written as DWORDs into the
# item's settings key, which is emptied again afterwards.
settings() {
    local profile=$1 pair
    shift
    for pair in "$@"; do
        QZL_PREFIX="$build/devices/$profile" "$here/../tools/wine-run.sh" reg add \
            'HKCU\SOFTWARE\Marrowfen\Quartzel' /v "${pair%=*}" /t REG_DWORD /d "${pair#*=}" /f >/dev/null
    done
}
clear_settings() {
    QZL_PREFIX="$build/devices/$1" "$here/../tools/wine-run.sh" reg delete \
        'HKCU\SOFTWARE\Marrowfen\Quartzel' /va /f >/dev/null
}

shot qvga96 today-qvga96
shot qvga96 today-qvga96-selected --select
shot qvga96 today-qvga96-alarm --alarm 0=on,days=0x1f,time=07:00
shot qvga96 today-qvga96-landscape --rotate
shot qvga96 today-qvga96-24h --locale de-DE
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
settings qvga96 ShowOpName=1 CenterDayDate=0 ShowShortDate=1
shot qvga96 today-qvga96-operator --alarm 0=on,days=0x7f,time=07:00 --operator "Marrowfen Mobile" --phone-status 32 --after 1600
shot qvga96 today-qvga96-searching --phone-status 0x400020 --after 1600
clear_settings qvga96

# Locales as Wine's own data has them (LC_ALL for the run), on a 240-pixel
# strip: a separator with a word in it (fr-CA), a long designator with
# seconds (bem-ZM), Japanese and Arabic, a long date of some fifty
# characters (kde-TZ), and Hindi, Thai and Sinhala, drawn from the faces
# linked behind Tahoma.
locale_shot() {
    local locale=$1
    shift
    QZL_LOCALE=$locale shot "$@"
}
locale_shot fr_CA.UTF-8 qvga96 today-qvga96-fr-CA
locale_shot fr_CA.UTF-8 qvga96-nofont today-qvga96-nofont-fr-CA
locale_shot ja_JP.UTF-8 qvga96 today-qvga96-ja-JP
locale_shot ar_SA.UTF-8 qvga96 today-qvga96-ar-SA
locale_shot bem_ZM.UTF-8 qvga96 today-qvga96-bem-ZM
locale_shot kde_TZ.UTF-8 qvga96 today-qvga96-kde-TZ
locale_shot hi_IN.UTF-8 qvga96 today-qvga96-hi-IN
locale_shot th_TH.UTF-8 qvga96 today-qvga96-th-TH
locale_shot si_LK.UTF-8 qvga96 today-qvga96-si-LK
