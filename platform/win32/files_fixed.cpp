#include "platform/files.h"

namespace pink::files {

std::string fixed_file(std::string_view name) { return "c:\\" + std::string(name); }

}  // namespace pink::files
