# The options sheet and its eight pages.
add_library(qzl_sheetdriver STATIC ${CMAKE_CURRENT_SOURCE_DIR}/options/sheetdriver.cpp)
target_link_libraries(qzl_sheetdriver PUBLIC user32 comctl32)

# Screenshots of every page, not a test:
#   QZL_PREFIX=build/devices/vga192 tools/wine-run.sh build/bin/options_shots.exe 'Z:\...\docs\options'
add_executable(options_shots options_shots.cpp ${CMAKE_SOURCE_DIR}/host/png.cpp $<TARGET_OBJECTS:quartzel_resources>)
target_include_directories(options_shots PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/host)
target_link_libraries(options_shots PRIVATE quartzel_core qzl_sheetdriver ole32 windowscodecs uuid)
target_link_options(options_shots PRIVATE -municode)

add_library(qzl_optionstest STATIC ${CMAKE_CURRENT_SOURCE_DIR}/options/optionstest.cpp)
target_link_libraries(qzl_optionstest PUBLIC qzl_sheetdriver qzl_testlib quartzel_core)

qzl_add_test(unit options_sheet SOURCES options_sheet.cpp PROFILES qvga96 square128 vga192)
target_link_libraries(options_sheet PRIVATE qzl_optionstest)

qzl_add_test(unit options_pages SOURCES options_pages.cpp PROFILES qvga96 vga192)
target_link_libraries(options_pages PRIVATE qzl_optionstest)

qzl_add_test(unit options_labels SOURCES options_labels.cpp PROFILES qvga96 square128 vga192)
target_link_libraries(options_labels PRIVATE qzl_optionstest)
