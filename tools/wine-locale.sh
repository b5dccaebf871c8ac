# Sourced by the scripts that start Wine in a device (tools/wine-run.sh,
# device/make-device.sh).
#
# Wine takes two things from the Unix locale that LC_ALL names: the name of
# the device's Windows locale (de_DE.UTF-8 is de-DE) and the character set
# in which it reads its command line, file names and environment. The
# formats themselves come from Wine's own locale data, never from the
# machine's. A fresh machine has only the C, C.UTF-8 and POSIX locales: for
# any other name glibc falls back to ASCII, and Wine, which still takes the
# name, turns every non-ASCII character typed into garbage (cafe with an
# accent becomes cafC).). So each device locale name is given glibc's
# C.UTF-8 data, in a folder of the build that LOCPATH names for Wine only:
# the name reaches Wine, and the character set is UTF-8.

# The C.UTF-8 data that every Debian 12 machine has (libc-bin).
wine_locale_data=/usr/lib/locale/C.utf8

# wine_locale_env FOLDER NAME: sets the array locale_env to the
# assignments that run Wine in locale NAME (LC_ALL=NAME, and LOCPATH=FOLDER
# with NAME in it as a link to the C.UTF-8 data).
wine_locale_env() {
  local folder=$1 name=$2
  locale_env=(LC_ALL="$name")
  case $name in C|C.*|POSIX|*/*|.*) return 0 ;; esac
  [ -d "$wine_locale_data" ] || return 0
  mkdir -p "$folder"
  [ -e "$folder/$name" ] || ln -s "$wine_locale_data" "$folder/$name" 2>/dev/null || [ -e "$folder/$name" ] ||
    return 0
  locale_env=(LOCPATH="$(cd "$folder" && pwd)" LC_ALL="$name")
}
