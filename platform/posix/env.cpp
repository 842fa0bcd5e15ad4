#include "platform/env.h"

#include <cstdlib>

namespace pink::env {

// Linux values are used as they are set (file names in them are UTF-8).
std::optional<std::string> get(std::string_view name) {
  const std::string n(name);
  const char* v = std::getenv(n.c_str());
  if (v == nullptr || *v == '\0') return std::nullopt;
  return std::string(v);
}

}  // namespace pink::env
