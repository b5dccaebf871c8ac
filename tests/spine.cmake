qzl_add_test(unit test_settings SOURCES test_settings.cpp)
qzl_add_test(unit test_itemwindow SOURCES test_itemwindow.cpp)
qzl_add_test(dll test_exports SOURCES test_exports.cpp)
qzl_add_test(dll test_support SOURCES test_support.cpp)
