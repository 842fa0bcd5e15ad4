// The build constants of the signature pads: keys that must match the pads'
// firmware and the receiving side. Each is 16 hexadecimal digits (8 bytes).
//
// A terminal's build replaces any of them with its own values:
//   cmake -DPINK_PAD_KEYS='PINK_STYLPAD_KEY="0123456789ABCDEF";PINK_STYLPAD_WRAP_KEY="..."'
// (the CMake option defines the macros below for the signature pad code).
#pragma once

#include <string_view>

namespace pink::signpad {

// tallypad: the key string its sign and encrypted-PIN requests carry.
#ifdef PINK_TALLYPAD_KEY
inline constexpr std::string_view kTallypadKey = PINK_TALLYPAD_KEY;
#else
inline constexpr std::string_view kTallypadKey = "3A9F0C71E5B2D846";
#endif

// stylpad: the 8-byte key value its sign request carries (encrypted under
// the wrap key) and under which the pad encrypts the signature data.
// TEST VALUE: no pad firmware is known to use it; replace it for a terminal.
#ifdef PINK_STYLPAD_KEY
inline constexpr std::string_view kStylpadKey = PINK_STYLPAD_KEY;
#else
inline constexpr std::string_view kStylpadKey = "7E3B91C4D25A0F68";
#endif

// stylpad: the key under which the sign request encrypts the key value.
// TEST VALUE: replace it for a terminal.
#ifdef PINK_STYLPAD_WRAP_KEY
inline constexpr std::string_view kStylpadWrapKey = PINK_STYLPAD_WRAP_KEY;
#else
inline constexpr std::string_view kStylpadWrapKey = "A4C2E6F80B1D3957";
#endif

// quillpad: the initial key under which the signature record carries its
// one-time key.
#ifdef PINK_QUILLPAD_INITIAL_KEY
inline constexpr std::string_view kQuillpadInitialKey = PINK_QUILLPAD_INITIAL_KEY;
#else
inline constexpr std::string_view kQuillpadInitialKey = "5C18E07B92D4A3F6";
#endif

}  // namespace pink::signpad
