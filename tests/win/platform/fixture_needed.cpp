// A library that another fixture library imports at link time: the loader
// must find it beside the library that needs it.
#include "platform/export.h"

PINK_EXPORT int PINK_CALL NeededValue() { return 7; }
