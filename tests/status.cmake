# Next alarm, operator text, suspend watcher and power stand-ins, taps.
qzl_add_test(unit status_alarm SOURCES status_alarm.cpp)
qzl_add_test(unit status_phone SOURCES status_phone.cpp)
qzl_add_test(unit watcher_power SOURCES watcher_power.cpp)
qzl_add_test(unit tap_menu SOURCES tap_menu.cpp PROFILES qvga96 square128 vga192)
qzl_add_test(dll watcher_item SOURCES watcher_item.cpp)
# The phone state in the real DLL's day slot, at each supported resolution.
qzl_add_test(dll status_item SOURCES status_item.cpp PROFILES qvga96 square128 vga192)
target_link_libraries(status_item PRIVATE qzl_sheetdriver)
