// The automation classes of the process, found by ProgID, as the system's
// class registry finds COM classes: each class by its versioned and its
// version-independent ProgID, compared without regard to ASCII case.
#pragma once

#include <memory>
#include <string_view>

#include "automation/object.h"

namespace pink::automation {

struct ClassEntry {
  const ClassInfo* info;
  std::unique_ptr<Object> (*make)();  // may throw; the API layer catches
};

// Makes the class creatable by both its ProgIDs; a ProgID registered again
// goes to the later entry. Any thread.
void register_class(const ClassEntry& entry);

// A new object of the class registered under `progid`, or null when none is.
// Exceptions of the class's constructor pass through.
std::unique_ptr<Object> create(std::string_view progid);

}  // namespace pink::automation
