# The source folders are layers that include only downwards; the graph is
# printed with the test's output.
add_test(NAME include_graph COMMAND bash ${CMAKE_SOURCE_DIR}/tools/include-graph.sh ${CMAKE_SOURCE_DIR}/src)
