# The source folders are layers that include only downwards; the graph is
# printed with the test's output.
add_test(NAME include_graph COMMAND bash ${CMAKE_SOURCE_DIR}/tools/include-graph.sh ${CMAKE_SOURCE_DIR}/src)
# Preparing a device waits for a test running in it, and never stops its
# server under it.
add_test(NAME device_busy COMMAND bash ${CMAKE_SOURCE_DIR}/tests/device_busy.sh $<TARGET_FILE:quartzel>)
set_tests_properties(device_busy PROPERTIES TIMEOUT 60)
# A string table line of other than ASCII stops the build with its number.
add_test(NAME string_table_refuses_non_ascii COMMAND ${CMAKE_COMMAND}
  -DSTRINGS=${CMAKE_CURRENT_SOURCE_DIR}/support/strings-non-ascii.txt -DIDS=${CMAKE_SOURCE_DIR}/src/resources/resource.h
  -DOUTPUT=${CMAKE_CURRENT_BINARY_DIR}/refused-stringblocks.rc -P ${CMAKE_SOURCE_DIR}/cmake/stringblocks.cmake)
set_tests_properties(string_table_refuses_non_ascii PROPERTIES
  PASS_REGULAR_EXPRESSION "non-ascii\\.txt:3:[ \n]+only[ \n]+ASCII[ \n]+characters[ \n]+are[ \n]+supported:[ \n]+IDS_RUN")
