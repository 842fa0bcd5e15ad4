// Rules of the sockets shared by the POSIX and Win32 sides.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pink::net::detail {

// The address a connect or listen is given, as parse_ipv4 reads it; when it
// is no dotted IPv4 literal, nothing, with the reason in `error_text` when
// given.
std::optional<std::uint32_t> address_of(std::string_view ipv4, std::string* error_text);

}  // namespace pink::net::detail
