// End-of-job signals of the kitchen printers, as the exact bytes sent after
// the body: the buzzer (FS b n, then 500 and 250 as 16-bit little-endian
// times) and the ESC/POS drawer kick-out pulse (ESC p pin on off, in 2 ms).
#pragma once

#include <array>
#include <string_view>

namespace pink::kitchen {

using namespace std::string_view_literals;

struct Signal {
  char code;
  std::string_view bytes;
  bool kitfeed;  // also known to the resident serial-only printer
};

inline constexpr std::array kSignals{
    Signal{'1', "\x1C\x62\x01\xF4\x01\xFA\x00"sv, true},
    Signal{'2', "\x1C\x62\x02\xF4\x01\xFA\x00"sv, true},
    Signal{'3', "\x1C\x62\x03\xF4\x01\xFA\x00"sv, true},
    Signal{'4', "\x1C\x62\x04\xF4\x01\xFA\x00"sv, true},
    Signal{'T', "\x1B\x70\x00\x40\x50"sv, true},   // pin 2, 128 ms on, 160 ms off
    Signal{'S', "\x1B\x70\x01\x40\x50"sv, false},  // pin 5
    Signal{'B', "\x1B\x70\x30\x00\xFF"sv, false},  // pin 2, 0 ms on, 510 ms off
};

// Model "9" replaces the table with its own pulse for any signal but "N".
inline constexpr auto kModel9Pulse = "\x1B\x70\x01\xFF\x10"sv;

enum class Dialect { Kitchen, Kitfeed };

// The bytes to send after the body; empty when nothing is sent.
std::string_view end_signal(std::string_view signal, std::string_view model, Dialect dialect);

}  // namespace pink::kitchen
