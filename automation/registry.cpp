#include "automation/registry.h"

#include <mutex>
#include <string>
#include <vector>

namespace pink::automation {
namespace {

struct Registered {
  std::string progid;
  ClassEntry entry;
};

struct Registry {
  std::mutex mutex;
  std::vector<Registered> classes;
};

Registry& registry() {
  static Registry r;
  return r;
}

void put(Registry& r, std::string_view progid, const ClassEntry& entry) {
  for (Registered& c : r.classes) {
    if (same_name(c.progid, progid)) {
      c.entry = entry;
      return;
    }
  }
  r.classes.push_back(Registered{std::string(progid), entry});
}

}  // namespace

void register_class(const ClassEntry& entry) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  put(r, entry.info->progid, entry);
  put(r, entry.info->version_independent_progid, entry);
}

std::unique_ptr<Object> create(std::string_view progid) {
  std::unique_ptr<Object> (*make)() = nullptr;
  {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (const Registered& c : r.classes) {
      if (same_name(c.progid, progid)) make = c.entry.make;
    }
  }
  return make ? make() : nullptr;
}

}  // namespace pink::automation
