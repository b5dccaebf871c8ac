# The clock face: fonts, private digits, layout, locale formats and painting.
# The face tests run on every screen shape a device shipped with, square and
# turned ones too (QZL_SHAPE_PROFILES, device/CMakeLists.txt).
qzl_add_test(unit face_units SOURCES face_units.cpp
  PROFILES qvga96 qvga96-nofont square128 square128-nofont vga192 vga192-nofont
  ${QZL_SHAPE_PROFILES})

# Locale formats with Wine's own data for four locales (LC_ALL per process).
qzl_add_test(unit face_locale SOURCES face_locale.cpp)
foreach(locale de_DE:de-DE en_GB:en-GB ja_JP:ja-JP)
  string(REPLACE ":" ";" parts ${locale})
  list(GET parts 0 posix)
  list(GET parts 1 name)
  add_test(NAME face_locale@${name} COMMAND face_locale ${name})
  set_tests_properties(face_locale@${name} PROPERTIES
    TIMEOUT 120
    RESOURCE_LOCK device-qvga96
    ENVIRONMENT "QZL_PREFIX=${QZL_DEVICES_DIR}/qvga96;QZL_LOCALE=${posix}.UTF-8")
endforeach()

# Painting through the real DLL, read back from the screen.
qzl_add_test(dll face_paint SOURCES face_paint.cpp
  PROFILES qvga96 qvga96-nofont square128 vga192 vga192-nofont ${QZL_SHAPE_PROFILES})

# Every locale the platform enumerates, at 96, 128 and 192 dpi, with and
# without the private face, on every screen's own width.
qzl_add_test(unit face_locale_walk SOURCES face_locale_walk.cpp
  PROFILES qvga96 qvga96-nofont square128 square128-nofont vga192 vga192-nofont
  ${QZL_SHAPE_PROFILES})
