#include "program.h"

HINSTANCE ModuleInstance;
