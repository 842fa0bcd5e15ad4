// The build-time IDL writer (run on the build machine, compiled there by
// CMake's pink_com_typelib): a small source made per class names the class
// whose IDL it writes.
#pragma once

#include "automation/table.h"

namespace pink::automation::idlgen {

// Defined by the per-class source.
const ClassInfo& the_class();
bool is_control();

}  // namespace pink::automation::idlgen
