# What both builds of the item share: its source folders and the rule that
# makes its string blocks. Included by src/CMakeLists.txt (desktop) and
# handheld/CMakeLists.txt (handheld).
set(QZL_SRC ${CMAKE_CURRENT_LIST_DIR}/../src)
get_filename_component(QZL_SRC ${QZL_SRC} ABSOLUTE)

# The item's code: every folder but plugin/dllmain.cpp (the DLL adds it)
# and the platform's stand-ins (the desktop build adds them).
file(GLOB QZL_ITEM_SOURCES CONFIGURE_DEPENDS
  ${QZL_SRC}/platform/*.cpp
  ${QZL_SRC}/shared/*.cpp
  ${QZL_SRC}/settings/*.cpp
  ${QZL_SRC}/face/*.cpp
  ${QZL_SRC}/status/*.cpp
  ${QZL_SRC}/options/*.cpp
  ${QZL_SRC}/plugin/*.cpp)
list(REMOVE_ITEM QZL_ITEM_SOURCES ${QZL_SRC}/plugin/dllmain.cpp)

set(QZL_ITEM_INCLUDE_DIRS
  ${QZL_SRC}/platform ${QZL_SRC}/shared ${QZL_SRC}/settings
  ${QZL_SRC}/face ${QZL_SRC}/status
  ${QZL_SRC}/options ${QZL_SRC}/plugin
  ${QZL_SRC}/resources)

# The resources of `target` (an object library of resources/quartzel.rc)
# get the generated string blocks.
function(qzl_add_string_blocks target)
  # The blocks are rewritten only when they change (so the resources are
  # not compiled again for nothing); the stamp tells the build they are
  # up to date.
  set(blocks ${CMAKE_CURRENT_BINARY_DIR}/stringblocks/stringblocks.rc)
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/stringblocks/stringblocks.stamp)
  add_custom_command(OUTPUT ${stamp} BYPRODUCTS ${blocks}
    COMMAND ${CMAKE_COMMAND} -DSTRINGS=${QZL_SRC}/resources/strings.txt -DIDS=${QZL_SRC}/resources/resource.h
            -DOUTPUT=${blocks} -P ${QZL_SRC}/../cmake/stringblocks.cmake
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${QZL_SRC}/resources/strings.txt ${QZL_SRC}/resources/resource.h ${QZL_SRC}/../cmake/stringblocks.cmake
    COMMENT "String blocks from strings.txt")
  add_custom_target(${target}_strings DEPENDS ${stamp})
  add_dependencies(${target} ${target}_strings)
  target_include_directories(${target} PRIVATE ${QZL_SRC}/resources ${CMAKE_CURRENT_BINARY_DIR}/stringblocks)
  set_source_files_properties(${QZL_SRC}/resources/quartzel.rc TARGET_DIRECTORY ${target} PROPERTIES
    OBJECT_DEPENDS "${QZL_SRC}/resources/pages.rc;${QZL_SRC}/resources/resource.h;${QZL_SRC}/resources/page-controls.h;${blocks}")
endfunction()
