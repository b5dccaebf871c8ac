// From the options request to a usable sheet: the host dialog with the
// item's options procedure, the sheet with its eight pages, the first page
// initialised and everything painted, against the same eight page
// templates in the same sheet with empty page procedures; and where the
// item's time goes.
#pragma once
#include <windows.h>
#include "measure.h"

// Runs the item's options code linked into this program (the DLL's code,
// with this program's copy of the resources), so that the steps inside a
// page can be timed.
void MeasureOptions(const MeasurePlan &plan);
