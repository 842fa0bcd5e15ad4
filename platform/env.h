// Environment variables and files, for the few settings the Linux side takes
// from the environment ($PINK_SETTINGS, $PINK_COMn, $PINK_LPT1 ...).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pink::env {

// The variable's value, or nothing when it is unset or empty. Linux gives the
// value as set (file names in it are UTF-8, ready for the OS); Windows gives
// it converted to cp949.
std::optional<std::string> get(std::string_view name);

}  // namespace pink::env
