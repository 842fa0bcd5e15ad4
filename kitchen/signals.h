// End-of-job signals of the kitchen printers, by the header's signal code:
// the buzzer sounded one to four times, or a drawer kick-out pulse.
#pragma once

#include <array>
#include <string_view>

#include "escpos/escpos.h"

namespace pink::kitchen {

struct Signal {
  char code;
  std::string_view bytes;
  bool resident_serial;  // also known to the serial-only resident printer
};

inline constexpr std::array kSignals{
    Signal{'1', escpos::kBuzzer1, true},
    Signal{'2', escpos::kBuzzer2, true},
    Signal{'3', escpos::kBuzzer3, true},
    Signal{'4', escpos::kBuzzer4, true},
    Signal{'T', escpos::kPulsePin2Short, true},
    Signal{'S', escpos::kPulsePin5Short, false},
    Signal{'B', escpos::kPulsePin2Off, false},
};

// A model with a pulse of its own (model profile own_end_pulse) sends it
// instead of the table's bytes for any signal but "N".
inline constexpr std::string_view kModelPulse = escpos::kPulsePin5Long;

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
