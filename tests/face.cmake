# The clock face: fonts, private digits, layout, locale formats and painting.
qzl_add_test(unit face_units SOURCES face_units.cpp
  PROFILES qvga96 qvga96-nofont square128 square128-nofont vga192 vga192-nofont)
