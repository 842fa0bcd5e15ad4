#include "platform/env.h"
#include "platform/files.h"
#include "platform/text.h"

namespace pink::files {

std::string fixed_file(std::string_view name) {
  return env::get("PINK_SIGNDIR").value_or("/var/lib/pink") + "/" + std::string(name);
}

// The variable's value is a UTF-8 file name; the suite's paths are cp949 and
// are turned back into UTF-8 when a file is opened.
std::string fixed_folder(std::string_view, std::string_view linux_variable, std::string_view linux_default) {
  if (auto value = env::get(linux_variable)) return text::utf8_to_cp949(*value);
  return text::utf8_to_cp949(linux_default);
}

}  // namespace pink::files
