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
  bool resident_serial;  // also known to the serial-only resident printer
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

// A model with a pulse of its own (model profile own_end_pulse) sends it
// instead of the table's bytes for any signal but "N".
inline constexpr auto kModelPulse = "\x1B\x70\x01\xFF\x10"sv;

// What a kitchen program makes of the model profiles and the end signals:
// the one-job spooler and the multi-port printer honour all of them, the
// serial-only resident printer a part.
struct Dialect {
  bool korean_mode;      // the models' Korean double-byte mode
  bool model_pulse;      // a model's own end pulse
  bool all_signals;      // every signal of the table, not only the resident serial ones
  bool resident_serial;  // the serial-only resident printer's NUL-token rule

  static const Dialect Kitchen;
  static const Dialect Kitfeed;
};
inline constexpr Dialect Dialect::Kitchen{true, true, true, false};
inline constexpr Dialect Dialect::Kitfeed{false, false, false, true};

// The bytes to send after the body; empty when nothing is sent.
std::string_view end_signal(std::string_view signal, std::string_view model, const Dialect& dialect);

}  // namespace pink::kitchen
