#include "aygshell.h"

DWORD SHRecognizeGesture(SHRGINFO *) { return 0; }
