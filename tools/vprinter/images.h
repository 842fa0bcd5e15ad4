// The pictures a decoded stream prints, as plain 1-bit bitmaps:
// - each downloaded bit image (GS *) that a following GS / prints: x*8 dots
//   across, y*8 down (the size mode of GS / is not applied);
// - the raster rows (ESC V) of a parallel-port logo block, between DC2 z 0
//   and DC2 z 1: 576 dots across, one row per raster row.
// Pictures are numbered in the order in which they are printed (the GS /
// that first prints a bit image, the DC2 z 1 that closes a logo block) and
// named image-1.png, image-2.png ... Pure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/vprinter/decoder.h"

namespace pink::vprinter {

// Rows from the top, (width + 7) / 8 bytes each, bit 7 the leftmost dot;
// a set bit is a printed (black) dot.
struct Bitmap {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> bits;

  std::size_t stride() const { return (width + 7) / 8; }
  bool dot(std::uint32_t x, std::uint32_t y) const {
    return (bits[y * stride() + x / 8] & (0x80u >> (x % 8))) != 0;
  }

  bool operator==(const Bitmap&) const = default;
};

struct Picture {
  std::string file_name;             // "image-1.png"
  Bitmap bitmap;
  std::vector<std::size_t> sources;  // indexes of the events whose data it shows
};

// The dots of a downloaded bit image: x*8 by y*8, from `data` of x*y*8 column
// bytes (column after column, y bytes a column, bit 7 the top dot). Missing
// data bytes print nothing.
Bitmap bit_image_dots(std::uint32_t x, std::uint32_t y, std::span<const std::uint8_t> data);

// The pictures the events print. Empty images (no dots across or down) and
// logo blocks without rows give none.
std::vector<Picture> pictures(std::span<const Event> events);

}  // namespace pink::vprinter
