qzl_add_test(unit test_settings SOURCES test_settings.cpp)
qzl_add_test(unit test_itemwindow SOURCES test_itemwindow.cpp)
