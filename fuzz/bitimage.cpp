// The bit image conversion over any bytes: what it sends is a define-image
// header whose counts match the raster, a raster that fits the printer's work
// area with nothing printed in the padding, and the two commands; what it
// refuses sends nothing. A second conversion into the same result gives the
// same bytes.
#include <algorithm>

#include "fuzz/check.h"
#include "rcptlib/bitimage.h"
#include "rcptlib/bmp.h"

using namespace pink::rcptlib;

namespace {

std::int32_t round_up8(std::int32_t v) { return (v + 7) / 8 * 8; }

void check_sent(std::span<const std::uint8_t> file, const BitImage& out, std::int32_t justification,
                std::int32_t size_mode) {
  Bitmap bmp;
  FUZZ_CHECK(read_bmp(file, bmp) == BmpError::None);
  FUZZ_CHECK(out.header[0] == 0x1D && out.header[1] == 0x2A);  // GS *
  const std::size_t columns = static_cast<std::size_t>(out.header[2]) * 8;
  const std::size_t bands = out.header[3];
  FUZZ_CHECK(columns == static_cast<std::size_t>(round_up8(bmp.width())));
  FUZZ_CHECK(bands * 8 == static_cast<std::size_t>(round_up8(bmp.height())));
  FUZZ_CHECK(out.raster.size() == columns * bands);
  FUZZ_CHECK(out.raster.size() <= kMaxRasterBytes);
  if (classify(file).converted) {
    FUZZ_CHECK(bmp.width() <= kMaxConvertedWidth && bmp.height() <= kMaxConvertedHeight);
  }
  // Columns right of the image are never inked.
  const std::size_t first_pad = static_cast<std::size_t>(bmp.width()) * bands;
  FUZZ_CHECK(std::all_of(out.raster.begin() + static_cast<std::ptrdiff_t>(first_pad), out.raster.end(),
                         [](std::uint8_t b) { return b == 0; }));
  FUZZ_CHECK(out.print_command == print_command(size_mode));
  FUZZ_CHECK(out.print_command[0] == 0x1D && out.print_command[1] == 0x2F);
  FUZZ_CHECK(out.print_command[2] >= 0x30 && out.print_command[2] <= 0x33);
  FUZZ_CHECK(out.justification == justification_command(justification));
  FUZZ_CHECK(out.justification[0] == 0x1B && out.justification[1] == 0x61);
  FUZZ_CHECK(out.justification[2] >= 0x30 && out.justification[2] <= 0x32);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // The first two bytes choose the justification and size mode (a few
  // values outside the valid ones included); the rest is the file.
  const std::int32_t justification = static_cast<std::int8_t>(data[0]) % 4;
  const std::int32_t size_mode = static_cast<std::int8_t>(data[1]) % 5;
  const auto file = pink::fuzz::bytes(data + 2, size - 2);

  BitImage out;
  const ConvertError error = convert(file, justification, size_mode, out);
  if (error == ConvertError::None) {
    check_sent(file, out, justification, size_mode);
    BitImage again = out;
    FUZZ_CHECK(convert(file, justification, size_mode, again) == ConvertError::None);
    FUZZ_CHECK(again.header == out.header && again.raster == out.raster);
  } else {
    Bitmap bmp;
    FUZZ_CHECK((error == ConvertError::NotABitmap) == (read_bmp(file, bmp) != BmpError::None));
    FUZZ_CHECK(out.raster.empty() && out.header == std::array<std::uint8_t, 4>{});
    FUZZ_CHECK(out.print_command == std::array<std::uint8_t, 3>{} &&
               out.justification == std::array<std::uint8_t, 3>{});
  }
  return 0;
}
