# Where a text may be cut: Unicode's own test of character boundaries, from
# Debian's unicode-data, read by the program at run time; and the cut's
# table of character properties, checked against the same database.
qzl_add_test(unit text_cut SOURCES text_cut.cpp
  ARGS Z:/usr/share/unicode/auxiliary/GraphemeBreakTest.txt)
find_package(Python3 COMPONENTS Interpreter REQUIRED)
add_test(NAME grapheme_table COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/grapheme-table.py --check
  /usr/share/unicode ${CMAKE_SOURCE_DIR}/src/shared/graphemetable.inc)
