// Rules of the sockets shared by the POSIX and Win32 sides.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace pink::net::detail {

// The address a connect or listen is given, as parse_ipv4 reads it; a failure
// naming the text when it is no dotted IPv4 literal.
Result<std::uint32_t> address_of(std::string_view ipv4);

}  // namespace pink::net::detail
