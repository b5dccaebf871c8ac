# The handheld's DLL, built by tools/setup.sh into handheld/ of this build
# folder with the toolchain it unpacked into toolchain/: the facts its
# loader and the Today screen depend on, checked against the handheld's
# export list in shared/ (beside the repository).
set(QZL_SHARED_DIR ${CMAKE_SOURCE_DIR}/../shared CACHE PATH "The shared folder: toolchains/ and handheld-api.txt")
add_test(NAME handheld_dll COMMAND ${QZL_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/handheld_dll.py
  ${CMAKE_BINARY_DIR}/toolchain/arm-mingw32ce/bin/arm-mingw32ce-objdump
  ${CMAKE_BINARY_DIR}/handheld/quartzel.dll ${QZL_SHARED_DIR}/handheld-api.txt)
set_tests_properties(handheld_dll PROPERTIES TIMEOUT 60)

# The same DLL run on an emulated ARM CPU (natively, by Python) beside the
# desktop DLL under Wine: the recorder plays the desktop side of each
# scripted life.
add_executable(handheld_recorder handheld_recorder.cpp)
target_include_directories(handheld_recorder PRIVATE ${QZL_INCLUDE_DIRS} ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(handheld_recorder PRIVATE qzl_testlib qzl_sheetdriver user32 gdi32 msimg32 shell32 advapi32)
add_dependencies(handheld_recorder quartzel devices)
add_test(NAME handheld_lives COMMAND ${QZL_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/handheld/lives.py
  ${CMAKE_BINARY_DIR}/handheld/quartzel.dll ${CMAKE_BINARY_DIR}/toolchain/arm-mingw32ce/bin/arm-mingw32ce-
  $<TARGET_FILE:quartzel> $<TARGET_FILE:handheld_recorder> ${CMAKE_SOURCE_DIR}/tools/wine-run.sh ${QZL_DEVICES_DIR})
set_tests_properties(handheld_lives PROPERTIES TIMEOUT 120
  RESOURCE_LOCK "device-qvga96;device-square128;device-vga192;device-vga192-landscape")

# The same lives with each of the ARM DLL's call sites failing once in
# turn, through the same model.
add_test(NAME handheld_call_faults COMMAND ${QZL_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/handheld/faults.py
  ${CMAKE_BINARY_DIR}/handheld/quartzel.dll ${CMAKE_BINARY_DIR}/toolchain/arm-mingw32ce/bin/arm-mingw32ce-
  $<TARGET_FILE:quartzel> $<TARGET_FILE:handheld_recorder> ${CMAKE_SOURCE_DIR}/tools/wine-run.sh ${QZL_DEVICES_DIR})
set_tests_properties(handheld_call_faults PROPERTIES TIMEOUT 120 RESOURCE_LOCK device-qvga96)
