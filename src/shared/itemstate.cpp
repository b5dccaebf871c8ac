#include "itemstate.h"

ItemStateRecord ItemState;
