#include "platform/files.h"

namespace pink::files {

std::string fixed_file(std::string_view name) { return "c:\\" + std::string(name); }

std::string fixed_folder(std::string_view windows_folder, std::string_view, std::string_view) {
  return std::string(windows_folder);
}

}  // namespace pink::files
