// Printer model profiles: what each model code of a job header changes in
// the bytes the spoolers send. A model is one row here; the spoolers and the
// kitchen printers read the row and never compare model codes themselves.
// A code without a row (including the empty one) prints as the plain
// ESC/POS receipt printer, kDefaultModel.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace pink::mailbox {

// What "LOGOPRT" sends on the receipt spooler's serial and parallel paths.
enum class LogoWord {
  OptionLogo,  // the stored logo chosen by the header's option code
  None,        // nothing
  Stored1,     // the printer's stored logo 1 (GS / 0 1)
  Selected,    // select stored logo 3 (serial) or 4 (parallel), then print it
};

// How "BARPRT" prints its data line.
enum class BarcodeDialect {
  Common,          // Code 39 after the common setup, then the data as text
  Code128Parallel, // Code 128 values on the parallel port; nothing on a serial port
  LengthByte,      // the model's own setup and a fixed length byte before the data
};

// Whether "#NULL#" in a body line becomes one 0x00 byte.
enum class NullToken {
  Never,
  Always,
  NotResident,  // everywhere but on the serial-only resident kitchen printer
};

struct ModelProfile {
  std::string_view code;
  LogoWord logo = LogoWord::OptionLogo;
  BarcodeDialect barcode = BarcodeDialect::Common;
  bool second_barcode = true;       // "BARPRT2" prints (EAN-13)
  NullToken null_token = NullToken::Never;
  bool lf_line_end = false;         // body lines end in LF alone, not CR LF
  bool korean_mode = false;         // Korean double-byte mode; only NV logos
  bool edited = false;              // text lines go through the text edit component
  bool library_path = false;        // printed through the receipt printer library
  bool forces_38400 = false;        // the serial line runs at 38400,n,8,1
  bool logo_file = false;           // "pv_logo.bmp" first on the parallel port
  bool own_end_pulse = false;       // a drawer pulse of its own replaces the end signal
};

inline constexpr ModelProfile kDefaultModel{};

inline constexpr std::array kModelProfiles{
    ModelProfile{.code = "4", .logo = LogoWord::None, .barcode = BarcodeDialect::Code128Parallel,
                 .second_barcode = false, .logo_file = true},
    ModelProfile{.code = "5", .korean_mode = true},
    ModelProfile{.code = "7", .logo = LogoWord::Stored1, .null_token = NullToken::Always,
                 .lf_line_end = true},
    ModelProfile{.code = "8", .logo = LogoWord::None, .edited = true},
    ModelProfile{.code = "9", .own_end_pulse = true},
    ModelProfile{.code = "A", .barcode = BarcodeDialect::LengthByte, .second_barcode = false,
                 .null_token = NullToken::NotResident},
    ModelProfile{.code = "B", .logo = LogoWord::Selected},
    ModelProfile{.code = "C", .library_path = true},
    ModelProfile{.code = "D", .forces_38400 = true},
};

// A code has one row: a second would never be read.
constexpr bool model_codes_unique() {
  for (std::size_t i = 0; i < kModelProfiles.size(); ++i) {
    for (std::size_t j = i + 1; j < kModelProfiles.size(); ++j) {
      if (kModelProfiles[i].code == kModelProfiles[j].code) return false;
    }
  }
  return true;
}
static_assert(model_codes_unique(), "a model code has two profiles");

// The profile of a model code as read from the header (exact, case counts).
constexpr const ModelProfile& model_profile(std::string_view code) {
  for (const auto& p : kModelProfiles) {
    if (p.code == code) return p;
  }
  return kDefaultModel;
}

}  // namespace pink::mailbox
