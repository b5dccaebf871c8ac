// From load to the first picture: the item DLL loaded, its window created,
// its height asked for and its first paint, against a reference DLL of the
// same shape (bench/refitem.cpp); and where the item's time goes.
#pragma once
#include <windows.h>
#include "measure.h"

// Prints the load rows. Runs before anything else of the bench loads the
// item DLL: a DLL already loaded would not run its load again.
void MeasureLoad(HWND host, const WCHAR *itemPath, const MeasurePlan &plan);
