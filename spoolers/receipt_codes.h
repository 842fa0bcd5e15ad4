// How the receipt spoolers put the suite's ESC/POS sequences together, per
// model dialect and path: which commands, in which order, as the writes made.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "escpos/escpos.h"

namespace pink::spoolers::codes {

using namespace std::string_view_literals;
namespace e = escpos;

// Stored logo ("LOGOPRT").
inline constexpr std::string_view kLogoModel7 = e::kPrintStoredLogo1;
inline constexpr std::string_view kLogoModelBSerial = e::kSelectLogo3;
inline constexpr std::string_view kLogoModelBParallel = e::kSelectLogo4;
inline constexpr std::string_view kLogoModelBPrint = e::kPrintSelectedLogo;

// Stored logo chosen by the option code, for the other models. Each entry is
// the writes made, in order; the parallel port takes only the NV images.
struct OptionLogo {
  char option;
  std::array<std::string_view, 2> serial;
  std::array<std::string_view, 2> parallel;
};

inline constexpr std::array kOptionLogos{
    OptionLogo{'1', {e::kNvImage1, {}}, {e::kNvImage1, {}}},
    OptionLogo{'2', {e::kNvImage1Quadruple, {}}, {e::kNvImage1Quadruple, {}}},
    OptionLogo{'5', {e::kStoredLogo, {}}, {}},
    OptionLogo{'6', {e::kCentre, e::kNvImage2}, {}},
};

// Bar codes ("BARPRT", "BARPRT2"), the common dialect: HRI font, height,
// module width, centring, then GS k with the NUL-terminated data.
inline constexpr std::array<std::string_view, 4> kBarcodeSetup{
    e::kHriFontB, e::kBarcodeHeight48, e::kModuleWidth2, e::kCentre};
inline constexpr std::string_view kBarcodeCode39 = e::kCode39;  // BARPRT
inline constexpr std::string_view kBarcodeEan13 = e::kEan13;    // BARPRT2

// Model "A": its own bar code dialect, data after a fixed length byte.
inline constexpr std::array<std::string_view, 3> kBarcodeModelASetup{
    e::kCentreBinary, e::kModuleWidth2, e::kBarcodeHeight50};
inline constexpr std::string_view kBarcodeModelA = e::kLengthByteBarcode;
inline constexpr auto kBarcodeModelATail = "  \r\n"sv;

// Model "4" on the parallel port: Code 128 in code set B, each character's
// value (code - 32) after the start-B value 104, ended by FF 0D.
inline constexpr std::array<std::string_view, 6> kBarcodeModel4Setup{
    e::kBarcodeHeight80, e::kModuleWidth0Then1, e::kMotionUnits1,
    e::kHriFontA,        e::kHriBelow,          e::kCode128SetB};
inline constexpr std::string_view kBarcodeModel4End = e::kCode128End;

// The library path's centring before a signature.
inline constexpr std::string_view kCentre = e::kCentre;

// Logo file rows on the parallel port (model "4"): the file's last 9,296
// bytes as 166 rows of 56 bytes, last row first, sent as 576-dot rows.
inline constexpr std::string_view kLogoStart1 = e::kLogoFileStart1;
inline constexpr std::string_view kLogoStart2 = e::kLogoFileStart2;
inline constexpr std::string_view kLogoStart3 = e::kLogoFileStart3;
inline constexpr std::string_view kLogoRow = e::kLogoFileRow;
inline constexpr std::string_view kLogoEnd = e::kLogoFileEnd;
inline constexpr std::size_t kLogoRows = 166;
inline constexpr std::size_t kLogoRowBytes = 56;
inline constexpr std::size_t kLogoMargin = 8;  // blank bytes each side of a row

}  // namespace pink::spoolers::codes
