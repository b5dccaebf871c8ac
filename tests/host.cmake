# The Today-screen emulator as a program: its command line.
qzl_add_test(dll host_cmdline SOURCES host_cmdline.cpp)
add_dependencies(host_cmdline todayemu)
