// A fixture library with a link-time import of a companion library that
// lives only beside it (not beside the program, not on the search path).
#include "platform/export.h"

PINK_EXPORT int PINK_CALL NeededValue();

PINK_EXPORT const char* PINK_CALL FixtureWhere() { return NeededValue() == 7 ? "needs, with its companion" : "?"; }
