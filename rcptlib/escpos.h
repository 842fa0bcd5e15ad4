// Receipt printer control sequences used by rcptlib, as data. The library
// sends strings unchanged (callers embed their own codes); the sequences here
// are the ones it adds itself when it prints a bitmap as a downloaded bit
// image: define the image, print it at a size, set the justification.
#pragma once

#include <array>
#include <cstdint>

namespace pink::rcptlib::escpos {

// GS * x y d1 ... dk: define a downloaded bit image of x * 8 dots across and
// y * 8 dots down. The data are x * y * 8 bytes, column after column; in each
// column the bytes run from the top band down, bit 7 the topmost dot of the
// band, a set bit a printed dot. x and y are one byte each.
inline constexpr std::array<std::uint8_t, 2> kDefineBitImage{0x1D, 0x2A};

// GS / m: print the downloaded bit image in size mode m.
inline constexpr std::array<std::uint8_t, 2> kPrintBitImage{0x1D, 0x2F};

// ESC a n: justification of what follows.
inline constexpr std::array<std::uint8_t, 2> kJustify{0x1B, 0x61};

// A caller's integer mapped to the parameter byte it selects.
struct ParamByte {
  std::int32_t value;
  std::uint8_t byte;
};

// Size modes of GS /, in the printer's digit form. Any mode not listed
// prints at normal size.
inline constexpr std::array<ParamByte, 3> kBitImageSizes{{
    {1, 0x31},  // double width
    {2, 0x32},  // double height
    {3, 0x33},  // double width and height
}};
inline constexpr std::uint8_t kBitImageNormalSize = 0x30;

// Justifications of ESC a. Any value not listed centres.
inline constexpr std::array<ParamByte, 2> kJustifications{{
    {0, 0x30},  // left
    {2, 0x32},  // right
}};
inline constexpr std::uint8_t kJustifyCentre = 0x31;

// The parameter byte for a value: the table's byte, or the fallback.
template <std::size_t N>
constexpr std::uint8_t param_byte(const std::array<ParamByte, N>& table, std::int32_t value,
                                  std::uint8_t fallback) {
  for (const auto& entry : table) {
    if (entry.value == value) return entry.byte;
  }
  return fallback;
}

}  // namespace pink::rcptlib::escpos
