#!/usr/bin/env bash
# Builds (or refreshes) an emulated device: a Wine prefix with the screen,
# resolution, locale and fonts of a profile, and the files and registry
# values that a device installer would have written for Quartzel.
#
#   device/make-device.sh PROFILE PREFIX_DIR DLL [FONT]
#
# FONT is QZL.ttf; profiles whose name ends in -nofont leave it out.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
profile=$1 prefix=$2 dll=$3 font=${4:-}

# The handheld's screens draw at 16 bits per pixel (RGB 5-6-5), as the
# devices do; square128 draws at 32, so that the face's other kind of
# surface (the 32-bit DIB section) is drawn and tested too. Bits per pixel
# is the X screen's depth that tools/wine-run.sh runs the device on.
# name          screen    dpi  locale       bpp
profiles="
qvga96          240x320   96   en_US.UTF-8  16
qvga96-nofont   240x320   96   en_US.UTF-8  16
qvga96-de       240x320   96   de_DE.UTF-8  16
square128       320x320   128  en_US.UTF-8  32
square128-nofont 320x320  128  en_US.UTF-8  16
vga192          480x640   192  en_US.UTF-8  16
vga192-nofont   480x640   192  en_US.UTF-8  16
vga192-landscape 640x480  192  en_US.UTF-8  16
square96        240x240   96   en_US.UTF-8  16
wqvga96         240x400   96   en_US.UTF-8  16
wqvga96-landscape 400x240 96   en_US.UTF-8  16
square192       480x480   192  en_US.UTF-8  16
wvga192         480x800   192  en_US.UTF-8  16
wvga192-landscape 800x480 192  en_US.UTF-8  16
"
line=$(printf '%s\n' "$profiles" | awk -v p="$profile" '$1 == p')
[ -n "$line" ] || { echo "make-device: unknown profile '$profile'" >&2; exit 2; }
read -r _ screen dpi locale bpp <<<"$line"
case $profile in *-nofont) font= ;; esac

stamp="$prefix/quartzel-device.stamp"
want=$(cat "$0" "$here/make-bold-tahoma.py" | sha1sum | cut -c1-12)-$screen-$dpi-$locale-$(readlink -f "$dll")-$([ -n "$font" ] && sha1sum <"$font" | cut -c1-12 || true)
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
  touch "$stamp"
  exit 0
fi

# A test running in the prefix holds its run lock (tools/wine-run.sh) for as
# long as its program runs; the device is made under that lock taken
# exclusively, so that the server the steps below stop is never the one a
# test is using. A test that runs on is waited for up to
# QZL_DEVICE_WAIT seconds (10 minutes), then the device is left as it is.
# The lock is held by flock itself (-o): Wine's background processes that
# the steps start do not inherit it.
if [ -z "${QZL_DEVICE_LOCKED:-}" ]; then
  mkdir -p "$prefix"
  lock="$prefix/quartzel-run.lock"
  wait_s=${QZL_DEVICE_WAIT:-600}
  if ! flock -n -x "$lock" true; then
    echo "make-device: $profile: a test is running in $prefix; waiting up to $wait_s s for it to end" >&2
  fi
  rc=0
  QZL_DEVICE_LOCKED=1 flock -x -o -w "$wait_s" -E 75 "$lock" "$0" "$@" || rc=$?
  if [ "$rc" = 75 ]; then
    echo "make-device: $profile: a test still runs in $prefix after $wait_s s; the device was not touched" \
      "(run the build again when it has ended)" >&2
  fi
  exit "$rc"
fi

export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine runs in the profile's locale with a UTF-8 character set
# (tools/wine-locale.sh), so that a path with accents in it reaches it
# whole.
. "$here/../tools/wine-locale.sh"
wine_locale_env "$prefix/quartzel-locales" "$locale"

# Wine's first start in a prefix now and then fails on a loaded machine;
# each step is tried again before the device is given up.
attempt() { # description command...
  local what=$1 n
  shift
  for n in 1 2 3; do
    "$@" && return 0
    echo "make-device: $profile: $what failed (attempt $n)" >&2
    wineserver -k 2>/dev/null || true
    sleep 1
  done
  return 1
}
mkdir -p "$prefix"
# A full disk loses the device's registry without a word to this script:
# regedit exits 0, and the server's save on exit fails ("could not save
# registry branch ... No space left on device"). The space a step needs is
# asked for before it runs. Wine's first start writes about 650 MB into the
# prefix before its modules are shared; the registry files take 2 MB.
free_mb() { df -Pm "$prefix" | awk 'NR == 2 { print $4 }'; }
enough_space() { # megabytes what
  local free
  free=$(free_mb)
  [ "$free" -ge "$1" ] && return 0
  echo "make-device: $profile: $2 needs about $1 MB of disk and $prefix has $free MB free" >&2
  return 1
}
# A server still running for this prefix (a test run's persistent one,
# with no test running: see the lock above) would keep every step's wait
# below from ending: it is stopped first.
wineserver -k 2>/dev/null || true
log="$prefix/quartzel-device.log"
# A failed step says what it found and keeps Wine's own words, so that a
# failure on a new machine can be told apart from a slow one.
failed() { # what
  echo "make-device: $profile: $1; Wine said:" >&2
  tail -n 20 "$log" | sed 's/^/  | /' >&2
  return 1
}
# What tells the possible causes of a missing write apart: a server that
# outlived the wait, a registry file not saved since the step began, and
# (asked after the import) whether Wine itself holds the key, written but not
# saved, or not at all.
circumstances() { # step-start-seconds [ask]
  local server=no saved=never held=
  wineserver -k0 2>/dev/null && server=yes
  [ -f "$prefix/system.reg" ] && saved="$(( $(stat -c %Y "$prefix/system.reg") - $1 )) s after the step began"
  if [ -n "${2:-}" ]; then
    held=$(WINEDEBUG=-all wine reg query 'HKLM\Software\Microsoft\Today\Items\Quartzel' /v DLL >/dev/null 2>&1 &&
      echo yes || echo no)
    wineserver -w
  fi
  echo "a server still running after the wait: $server; system.reg saved: $saved${held:+; Wine holds the key: $held}"
}
booted() {
  local began
  began=$(date +%s)
  env "${locale_env[@]}" WINEDEBUG=err+all wineboot -i >"$log" 2>&1
  wineserver -w
  [ -f "$prefix/system.reg" ] || failed "no system.reg after the first start ($(circumstances "$began"))"
}

# Wine's first start copies its 600-odd built-in modules, about 630 MB, into
# the prefix's system32: the same bytes in every device. The devices of one
# build share one copy, each identical file a hard link to the first one
# made. No Wine session runs here; Wine writes these files again only when it
# updates a prefix to a new Wine, with the same bytes for every device.
share_system_files() { # prefix
  local store f name
  store="$(dirname "$1")/.shared-system32"
  mkdir -p "$store"
  for f in "$1/drive_c/windows/system32/"*; do
    [ -f "$f" ] && [ ! -L "$f" ] || continue
    name=${f##*/}
    [ -e "$store/$name" ] || ln "$f" "$store/$name" 2>/dev/null || true
    if ! [ "$f" -ef "$store/$name" ] && cmp -s "$f" "$store/$name"; then
      ln -f "$store/$name" "$f"
    fi
  done
}
# Every device of one locale is a copy of one freshly started prefix, its
# seed (beside the devices, never run itself): Wine's first start is most of
# a device's making, and what it leaves does not depend on the screen, the
# resolution or the fonts, which are the registry values and files written
# below. The copy's modules are hard links to the seed's.
seed="$(dirname "$prefix")/.seed-$locale"
seeded() {
  local stamp="$seed/quartzel-seed.stamp" version
  version=$(wine --version)
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ] && return 0
  rm -rf "$seed"
  mkdir -p "$seed"
  (
    export WINEPREFIX="$seed"
    prefix=$seed log="$seed/quartzel-device.log"
    enough_space 800 "creating the prefix" && attempt "creating the prefix" booted
  ) || return 1
  share_system_files "$seed"
  echo "$version" >"$stamp"
}
copied_from_seed() {
  local system32=drive_c/windows/system32
  enough_space 100 "copying the seed"
  # Not copied: the seed's own records, and the name of its server's
  # directory (Debian's Wine keeps it in the prefix as `wineserver`), which
  # each device draws afresh. system.reg comes last: a device has one only
  # once it is whole.
  tar -C "$seed" --exclude="./$system32" --exclude=./quartzel-seed.stamp --exclude=./quartzel-device.log \
    --exclude=./wineserver --exclude=./system.reg -cf - . | tar -C "$prefix" -xf -
  rm -rf "${prefix:?}/$system32"
  cp -al "$seed/$system32" "$prefix/$system32"
  cp -p "$seed/system.reg" "$prefix/system.reg"
}
if ! [ -f "$prefix/system.reg" ]; then
  # Devices are made two at a time: the first of a locale starts the seed,
  # the others wait for it.
  exec 9>"$(dirname "$prefix")/.seed-$locale.lock"
  flock 9
  seeded
  exec 9>&-
  copied_from_seed
fi
share_system_files "$prefix"
enough_space 16 "writing the fonts and the registry"

# The profile's locale is chosen per process by LC_ALL, and its depth by
# the X screen (tools/wine-run.sh).
printf 'LC_ALL=%s\nBPP=%s\n' "$locale" "$bpp" >"$prefix/quartzel-profile.env"

fonts="$prefix/drive_c/windows/Fonts"
mkdir -p "$fonts"
# Tahoma for the face and the dialogs; Marlett draws the caption buttons.
# Wine's bold Tahoma has regular outlines (bold only in its small bitmaps):
# the device gets one that is bold at every size.
cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/marlett.ttf "$fonts/"
/usr/bin/python3 "$here/make-bold-tahoma.py" /usr/share/wine/fonts/tahomabd.ttf "$fonts/tahomabd.ttf"
# A device sold where other scripts are read carries a face for each,
# linked behind the system face: a character Tahoma lacks is drawn from the
# first linked face that has it. One Noto face (fonts-noto-core,
# fonts-noto-cjk) for each script that the platform's locales write their
# day names, dates and designators in, so that every locale's texts have
# glyphs. Wine opens a font's linked faces one by one, in this order, until
# one has the character: the faces most locales need come first (Noto Sans,
# for the Latin, Greek and Cyrillic letters Tahoma lacks, then Devanagari
# and Arabic), the large CJK collection and the faces of characters beyond
# the BMP (which Wine never takes from a link) last. The files are hard
# links to Debian's where the disk allows.
script_faces="
truetype/noto/NotoSans-Regular.ttf,Noto Sans
truetype/noto/NotoSansDevanagari-Regular.ttf,Noto Sans Devanagari
truetype/noto/NotoSansArabic-Regular.ttf,Noto Sans Arabic
truetype/noto/NotoSansEthiopic-Regular.ttf,Noto Sans Ethiopic
truetype/noto/NotoSansBengali-Regular.ttf,Noto Sans Bengali
truetype/noto/NotoSansTifinagh-Regular.ttf,Noto Sans Tifinagh
truetype/noto/NotoSansTamil-Regular.ttf,Noto Sans Tamil
truetype/noto/NotoSerifTibetan-Regular.ttf,Noto Serif Tibetan
truetype/noto/NotoSansHebrew-Regular.ttf,Noto Sans Hebrew
truetype/noto/NotoSansCanadianAboriginal-Regular.ttf,Noto Sans CanAborig
truetype/noto/NotoSansVai-Regular.ttf,Noto Sans Vai
truetype/noto/NotoSansCherokee-Regular.ttf,Noto Sans Cherokee
truetype/noto/NotoSansGurmukhi-Regular.ttf,Noto Sans Gurmukhi
truetype/noto/NotoSansOlChiki-Regular.ttf,Noto Sans Ol Chiki
truetype/noto/NotoSansGeorgian-Regular.ttf,Noto Sans Georgian
truetype/noto/NotoSansMalayalam-Regular.ttf,Noto Sans Malayalam
truetype/noto/NotoSansMyanmar-Regular.ttf,Noto Sans Myanmar
truetype/noto/NotoSansKhmer-Regular.ttf,Noto Sans Khmer
truetype/noto/NotoSansThai-Regular.ttf,Noto Sans Thai
truetype/noto/NotoSansKannada-Regular.ttf,Noto Sans Kannada
truetype/noto/NotoSansTelugu-Regular.ttf,Noto Sans Telugu
truetype/noto/NotoSansGujarati-Regular.ttf,Noto Sans Gujarati
truetype/noto/NotoSansOriya-Regular.ttf,Noto Sans Oriya
truetype/noto/NotoSansLao-Regular.ttf,Noto Sans Lao
truetype/noto/NotoSansSinhala-Regular.ttf,Noto Sans Sinhala
truetype/noto/NotoSansArmenian-Regular.ttf,Noto Sans Armenian
truetype/noto/NotoSansNKo-Regular.ttf,Noto Sans NKo
truetype/noto/NotoSansYi-Regular.ttf,Noto Sans Yi
truetype/noto/NotoSansSyriac-Regular.ttf,Noto Sans Syriac
truetype/noto/NotoSansMongolian-Regular.ttf,Noto Sans Mongolian
opentype/noto/NotoSansCJK-Regular.ttc,Noto Sans CJK JP
truetype/noto/NotoSansAdlam-Regular.ttf,Noto Sans Adlam
truetype/noto/NotoSansChakma-Regular.ttf,Noto Sans Chakma
"
link_entries=()
while IFS=, read -r file face; do
  [ -n "$file" ] || continue
  source_file=/usr/share/fonts/$file
  [ -f "$source_file" ] || { echo "make-device: $profile: $source_file is missing (tools/setup.sh installs it)" >&2; exit 1; }
  ln -f "$source_file" "$fonts/" 2>/dev/null || cp "$source_file" "$fonts/"
  link_entries+=("${file##*/},$face")
done <<<"$script_faces"
# The link list as a .reg REG_MULTI_SZ: each entry in UTF-16 (the .reg file
# is UTF-16, and regedit takes its hex data as it stands) and a NUL, and a
# NUL after the last. The platform links by family; Wine finds a face's
# links by its full name, so the list is written for "Tahoma" and for the
# bold face, "Tahoma Bold".
multi_sz() {
  { printf '%s\0' "$@"; printf '\0'; } | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -s ' \n' ',' |
    sed 's/^,//; s/,$//'
}
system_link=$(multi_sz "${link_entries[@]}")

qzldir="$prefix/drive_c/Program Files/Quartzel"
mkdir -p "$qzldir"
if [ -n "$font" ]; then cp "$font" "$qzldir/QZL.ttf"; else rm -f "$qzldir/QZL.ttf"; fi

# Drive Z: is the Linux root in every prefix; .reg strings double their
# backslashes.
windll="Z:$(readlink -f "$dll" | sed 's|/|\\\\|g')"
w=${screen%x*} h=${screen#*x}
reg="$prefix/quartzel-device.reg"
# regedit reads a file without a byte-order mark in the Windows code page,
# not as UTF-8: the file is UTF-16, so that every path arrives as it is.
{ printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]
"Default"="${w}x${h}"

[HKEY_CURRENT_USER\\Control Panel\\Desktop]
"LogPixels"=dword:$(printf '%08x' "$dpi")

[HKEY_CURRENT_USER\\ControlPanel\\Appearance]
"FontSize"=dword:00000320

[-HKEY_CURRENT_USER\\SOFTWARE\\Marrowfen\\Quartzel]

[HKEY_CURRENT_USER\\SOFTWARE\\Marrowfen\\Quartzel]

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Today\\Items\\Quartzel]
"DLL"="$windll"
"Type"=dword:00000004
"Enabled"=dword:00000001
"Options"=dword:00000001
"Selectability"=dword:00000002
"Order"=dword:00000000

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]
"Tahoma"=hex(7):$system_link
"Tahoma Bold"=hex(7):$system_link

[HKEY_LOCAL_MACHINE\\System\\State\\Phone]
"Status"=dword:00000020
"Current Operator Name"="Marrowfen Mobile"

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Clock\\0]
"AlarmFlags"=hex:00
"AlarmDays"=hex:1f
"AlarmTime"=hex:a4,01

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Clock\\1]
"AlarmFlags"=hex:00
"AlarmDays"=hex:60
"AlarmTime"=hex:1c,02

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Clock\\2]
"AlarmFlags"=hex:00
"AlarmDays"=hex:00
"AlarmTime"=hex:00,00
REG
installed() {
  local rc=0 began
  began=$(date +%s)
  env "${locale_env[@]}" WINEDEBUG=err+all wine regedit /S "Z:${reg//\//\\}" >"$log" 2>&1 || rc=$?
  wineserver -w
  grep -q 'Today\\\\Items\\\\Quartzel' "$prefix/system.reg" && return 0
  if grep -q 'could not save registry branch.*No space left' "$log"; then
    failed "the disk filled up and Wine could not save the registry ($(free_mb) MB free now)"
  else
    failed "regedit exit code $rc, and the item key is not in system.reg ($(circumstances "$began" ask))"
  fi
}
attempt "writing the registry" installed
echo "$want" >"$stamp"
echo "device $profile ready: $prefix (${w}x${h} at $dpi dpi and $bpp bits per pixel, $locale, $([ -n "$font" ] && echo with || echo without) QZL.ttf)"
