#include "aygshell.h"

BOOL SHInitDialog(PSHINITDLGINFO) { return TRUE; }
BOOL SHInitExtraControls(void) { return TRUE; }
