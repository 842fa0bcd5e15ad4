// Compares a type library with a class's member table: the library's
// identity and help text, every function of the dispatch and event
// interfaces (DISPID, kind, parameter names, types and directions, result)
// and the class with its default and source interfaces. A control's
// library is checked the same way.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "automation/table.h"

namespace pink::comtest {

void expect_library_is_the_table(ITypeLib* lib, const automation::ClassInfo& c);

}  // namespace pink::comtest
