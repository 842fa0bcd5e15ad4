// A tiny library for the dynamic-library tests. It is built more than once;
// each copy says where it was put, so a test can tell which copy was loaded.
#include "platform/export.h"

#ifndef PINK_FIXTURE_WHERE
#error "PINK_FIXTURE_WHERE names the copy"
#endif

PINK_EXPORT const char* PINK_CALL FixtureWhere() { return PINK_FIXTURE_WHERE; }

PINK_EXPORT int PINK_CALL FixtureAdd(int a, int b) { return a + b; }
