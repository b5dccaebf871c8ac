# The handheld DLL run on an emulated ARM CPU beside the desktop DLL under
# Wine: the recorder plays the desktop side of each scripted life.
add_executable(handheld_recorder handheld_recorder.cpp)
target_include_directories(handheld_recorder PRIVATE ${QZL_INCLUDE_DIRS})
target_link_libraries(handheld_recorder PRIVATE user32 gdi32 msimg32 shell32 advapi32)
add_dependencies(handheld_recorder quartzel devices)
