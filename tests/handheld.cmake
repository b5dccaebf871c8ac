# The handheld's DLL, built by tools/setup.sh into handheld/ of this build
# folder with the toolchain it unpacked into toolchain/: the facts its
# loader and the Today screen depend on, checked against the handheld's
# export list in shared/ (beside the repository).
set(QZL_SHARED_DIR ${CMAKE_SOURCE_DIR}/../shared CACHE PATH "The shared folder: toolchains/ and handheld-api.txt")
add_test(NAME handheld_dll COMMAND ${QZL_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/handheld_dll.py
  ${CMAKE_BINARY_DIR}/toolchain/arm-mingw32ce/bin/arm-mingw32ce-objdump
  ${CMAKE_BINARY_DIR}/handheld/quartzel.dll ${QZL_SHARED_DIR}/handheld-api.txt)
set_tests_properties(handheld_dll PROPERTIES TIMEOUT 60)
