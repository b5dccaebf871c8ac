# Where a text may be cut: Unicode's own test of character boundaries, read
# by the program at run time; and the cut's table of character properties,
# checked against the database it was made from. Both read the files of the
# table's own Unicode version, kept beside it (src/shared/unicode-15.0.0,
# copied from Debian 12's unicode-data): a machine's newer database has
# other rules (15.1's conjuncts), which the table does not follow.
set(QZL_UCD ${CMAKE_SOURCE_DIR}/src/shared/unicode-15.0.0)
qzl_add_test(unit text_cut SOURCES text_cut.cpp ARGS Z:${QZL_UCD}/auxiliary/GraphemeBreakTest.txt)
find_package(Python3 COMPONENTS Interpreter REQUIRED)
add_test(NAME grapheme_table COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/grapheme-table.py --check
  ${QZL_UCD} ${CMAKE_SOURCE_DIR}/src/shared/graphemetable.inc)
