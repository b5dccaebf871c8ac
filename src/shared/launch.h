// Opening a program, document or web address through the shell: the item's
// tap action and the About page's link.
#pragma once
#include <windows.h>

BOOL LaunchAction(const WCHAR *path);
