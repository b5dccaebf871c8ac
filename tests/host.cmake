# The Today-screen emulator as a program: its command line.
qzl_add_test(dll host_cmdline SOURCES host_cmdline.cpp PROFILES qvga96 vga192)
add_dependencies(host_cmdline todayemu)

# The emulated devices' fonts.
qzl_add_test(dll device_fonts SOURCES device_fonts.cpp
  PROFILES qvga96 qvga96-nofont qvga96-de square128 square128-nofont vga192 vga192-nofont)

# The command lines of tools/run.sh and the other tools.
add_test(NAME tools_cmdline COMMAND bash ${CMAKE_SOURCE_DIR}/tests/tools_cmdline.sh ${CMAKE_BINARY_DIR})
set_tests_properties(tools_cmdline PROPERTIES TIMEOUT 300 RESOURCE_LOCK device-qvga96)
