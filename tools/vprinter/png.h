// A small PNG writer for the virtual printer's pictures: 1-bit greyscale
// (black dots on white), one IDAT chunk compressed with zlib. Pure: returns
// the bytes of the file.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/vprinter/images.h"

namespace pink::vprinter {

// The PNG file of the bitmap, printed dots black. Empty when the bitmap has
// no dots across or down or its bits do not fill its rows.
std::vector<std::uint8_t> encode_png(const Bitmap& bitmap);

}  // namespace pink::vprinter
