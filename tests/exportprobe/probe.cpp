// A tiny library whose export table the export check reads in every build,
// so that the check itself is exercised before any deliverable is listed:
// one plain name and one decorated standard-call name at the same entry.
#include "platform/export.h"

PINK_EXPORT int PINK_CALL ProbeAnswer(int a, int b) { return a + b; }
