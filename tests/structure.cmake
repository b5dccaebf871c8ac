# The source folders are layers that include only downwards; the graph is
# printed with the test's output.
add_test(NAME include_graph COMMAND bash ${CMAKE_SOURCE_DIR}/tools/include-graph.sh ${CMAKE_SOURCE_DIR}/src)
# Preparing a device waits for a test running in it, and never stops its
# server under it.
add_test(NAME device_busy COMMAND bash ${CMAKE_SOURCE_DIR}/tests/device_busy.sh $<TARGET_FILE:quartzel>)
set_tests_properties(device_busy PROPERTIES TIMEOUT 60)
