#include "platform/env.h"
#include "platform/files.h"

namespace pink::files {

std::string fixed_file(std::string_view name) {
  return env::get("PINK_SIGNDIR").value_or("/var/lib/pink") + "/" + std::string(name);
}

}  // namespace pink::files
