# Quartzel.cab, built by tools/setup.sh into handheld/ of this build
# folder: read back and checked, bad cabinets refused (install_cab);
# installed, upgraded and removed on the ARM model with the cabinet's own
# setup library (install_arm).
set(QZL_CAB ${CMAKE_BINARY_DIR}/handheld/Quartzel.cab)
set(QZL_ARM_TOOLS ${CMAKE_BINARY_DIR}/toolchain/arm-mingw32ce/bin/arm-mingw32ce-)
add_test(NAME install_arm COMMAND ${QZL_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/handheld/setup_life.py
  ${QZL_CAB} ${QZL_ARM_TOOLS})
set_tests_properties(install_arm PROPERTIES TIMEOUT 60)
add_test(NAME install_cab COMMAND ${QZL_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/install_cab.py
  ${QZL_CAB} ${QZL_ARM_TOOLS} ${QZL_SHARED_DIR}/handheld-api.txt)
set_tests_properties(install_cab PROPERTIES TIMEOUT 60)

# Quartzel-desktop.cab installed, upgraded and removed on copies of two
# emulated devices, an English and a German one, with the Today emulator
# running (install_devices), all on one X display.
add_test(NAME install_devices COMMAND ${CMAKE_SOURCE_DIR}/tools/with-display.sh ${QZL_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/install_devices.py
  ${CMAKE_BINARY_DIR} ${QZL_DESKTOP_CAB})
set_tests_properties(install_devices PROPERTIES TIMEOUT 180 RESOURCE_LOCK "device-qvga96;device-qvga96-de")
