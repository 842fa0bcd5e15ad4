// The bitmap reader over any bytes: a bitmap it accepts has sizes that agree
// with each other and pixel rows that lie inside the file; one it refuses
// leaves the result empty.
#include <cstring>

#include "fuzz/check.h"
#include "rcptlib/bmp.h"

using namespace pink::rcptlib;

namespace {

std::uint32_t u32_at(std::span<const std::uint8_t> f, std::size_t at) {
  return static_cast<std::uint32_t>(f[at]) | (static_cast<std::uint32_t>(f[at + 1]) << 8) |
         (static_cast<std::uint32_t>(f[at + 2]) << 16) | (static_cast<std::uint32_t>(f[at + 3]) << 24);
}

void check_accepted(std::span<const std::uint8_t> file, const Bitmap& bmp) {
  const std::int32_t bpp = bmp.bits_per_pixel();
  FUZZ_CHECK(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32);
  FUZZ_CHECK(bmp.width() > 0 && bmp.height() > 0);
  const std::uint64_t row_bits = static_cast<std::uint64_t>(bmp.width()) * static_cast<std::uint64_t>(bpp);
  const std::uint64_t row_bytes = (row_bits + 7) / 8;
  FUZZ_CHECK(static_cast<std::uint64_t>(bmp.bytes_per_row()) == row_bytes + (row_bytes & 1));
  FUZZ_CHECK(bmp.stride() % 4 == 0);
  FUZZ_CHECK(bmp.stride() >= static_cast<std::size_t>(bmp.bytes_per_row()));
  FUZZ_CHECK(bmp.stride() < static_cast<std::size_t>(bmp.bytes_per_row()) + 4);
  const std::uint64_t pixel_bytes = static_cast<std::uint64_t>(bmp.stride()) * static_cast<std::uint64_t>(bmp.height());
  FUZZ_CHECK(pixel_bytes <= kMaxPixelBytes);
  FUZZ_CHECK(bmp.bits().size() == pixel_bytes);
  FUZZ_CHECK(bmp.palette().size() <= (bpp <= 8 ? (1u << bpp) : 0u));

  // The rows: each one stride long, none outside the image.
  FUZZ_CHECK(bmp.row(-1).empty());
  FUZZ_CHECK(bmp.row(bmp.height()).empty());
  FUZZ_CHECK(bmp.row(0).size() == bmp.stride());
  FUZZ_CHECK(bmp.row(bmp.height() - 1).data() == bmp.bits().data() + (pixel_bytes - bmp.stride()));

  // The pixels are the file's bytes from the pixel offset: a bottom-up file
  // is a view into them, a top-down one has the same rows in reverse order.
  const std::uint32_t offset = u32_at(file, 10);
  FUZZ_CHECK(offset <= file.size() && file.size() - offset >= pixel_bytes);
  const std::uint8_t* stored = file.data() + offset;
  if (!bmp.was_top_down()) {
    FUZZ_CHECK(bmp.bits().data() == stored);
  } else {
    const std::int32_t last = bmp.height() - 1;
    FUZZ_CHECK(std::memcmp(bmp.row(0).data(), stored + static_cast<std::size_t>(last) * bmp.stride(),
                           bmp.stride()) == 0);
    FUZZ_CHECK(std::memcmp(bmp.row(last).data(), stored, bmp.stride()) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto file = pink::fuzz::bytes(data, size);
  Bitmap bmp;
  const BmpError error = read_bmp(file, bmp);
  FUZZ_CHECK(to_string(error) != nullptr);
  if (error == BmpError::None) {
    FUZZ_CHECK(size >= 2 && data[0] == 'B' && data[1] == 'M');
    check_accepted(file, bmp);
  } else {
    FUZZ_CHECK(bmp.width() == 0 && bmp.height() == 0 && bmp.bits().empty() && bmp.palette().empty());
  }
  return 0;
}
