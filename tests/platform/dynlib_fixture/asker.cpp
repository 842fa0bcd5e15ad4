// A library that loads another library by its base name, the way the
// payment library loads the SSL client library: it reports which copy it got.
#include <cstdio>
#include <string>

#include "platform/dynlib.h"
#include "platform/export.h"

// Writes "<what the loaded copy says> from <its path>" (or "not loaded: why")
// into `out` and returns 1 when the library was loaded.
PINK_EXPORT int PINK_CALL AskerLoad(const char* name, char* out, int size) {
  if (name == nullptr || out == nullptr || size <= 0) return 0;
  auto lib = pink::dynlib::load(name);
  std::string said;
  if (lib) {
    auto where = lib->function<const char* (*)()>("FixtureWhere");
    said = std::string(where ? where() : "?") + " from " + lib->path();
  } else {
    said = "not loaded: " + lib.why();
  }
  std::snprintf(out, static_cast<std::size_t>(size), "%s", said.c_str());
  return lib ? 1 : 0;
}
