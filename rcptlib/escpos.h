// The parameters of the control sequences rcptlib adds itself, as data. The
// library sends strings unchanged (callers embed their own codes); the
// commands it adds are the ones that print a bitmap as a downloaded bit
// image: define the image, print it at a size, set the justification.
#pragma once

#include <array>
#include <cstdint>

#include "escpos/escpos.h"

namespace pink::rcptlib::escpos {

// The commands it adds (see escpos/escpos.h): define the image, print it,
// justify.
using pink::escpos::kDefineBitImage;
using pink::escpos::kJustify;
using pink::escpos::kPrintBitImage;

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
