qzl_add_test(unit test_fuzz_settings SOURCES test_fuzz_settings.cpp)
qzl_add_test(dll test_soak SOURCES test_soak.cpp PROFILES qvga96 vga192)
qzl_add_test(unit test_fuzz_locale SOURCES test_fuzz_locale.cpp)
qzl_add_test(dll test_host_faults SOURCES test_host_faults.cpp PROFILES qvga96 vga192-nofont)
