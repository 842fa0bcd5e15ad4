// Rules of the text codec shared by its POSIX and Win32 sides.
#pragma once

#include <string_view>

namespace pink::text::detail {

// True when no byte / code unit is outside 7-bit ASCII, where every code page
// agrees and no conversion is needed.
bool is_ascii(std::string_view s) noexcept;
bool is_ascii(std::u16string_view s) noexcept;

}  // namespace pink::text::detail
