#include "rcptlib/bmp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "tests/rcptlib/bmp_writer.h"

namespace pink::rcptlib {
namespace {

using testing::encode;
using testing::Layout;
using testing::Picture;
using testing::put16;
using testing::put32;
using testing::Rgb;

Picture sample(int w, int h, int bpp) {
  return testing::noise(w, h, bpp, [v = std::uint32_t{12345}]() mutable {
    v = v * 1103515245u + 12345u;
    return v >> 8;
  });
}

BmpError read(const std::vector<std::uint8_t>& file) {
  Bitmap bmp;
  return read_bmp(file, bmp);
}

// What the reader makes of each depth (bytes per row, stride, bottom-up
// rows) shows in the converted bytes, checked against an independent reading
// in bitimage_test; here the header layouts and what is refused.
TEST(BmpReader, HeaderVersionsBitFieldsAndTopDownRowsGiveTheSameBitmap) {
  struct Case {
    int bpp;
    Layout layout;
  };
  // Bit field masks come after a 40-byte header or inside a longer one; the
  // stored bytes are taken as they are. Top-down rows come back bottom-up.
  const Case cases[] = {
      {8, {.header_size = 12}},  {8, {.header_size = 52}},   {8, {.header_size = 56}},
      {8, {.header_size = 108}}, {8, {.header_size = 124}},  {24, {.header_size = 12}},
      {1, {.top_down = true}},   {24, {.top_down = true}},   {8, {.top_down = true}},
      {16, {.compression = 3}},  {32, {.header_size = 56, .compression = 3}},
      {32, {.header_size = 124, .compression = 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.bpp << " bpp, header " << c.layout.header_size);
    Picture p = sample(21, 7, c.bpp);
    if (c.bpp == 8) p.palette[3] = Rgb{10, 20, 30};
    const auto base_file = encode(p);
    const auto file = encode(p, c.layout);
    Bitmap base, bmp;
    ASSERT_EQ(read_bmp(base_file, base), BmpError::None);
    ASSERT_EQ(read_bmp(file, bmp), BmpError::None);
    EXPECT_EQ(bmp.width(), 21);
    EXPECT_EQ(bmp.height(), 7);
    EXPECT_EQ(bmp.bits_per_pixel(), c.bpp);
    EXPECT_EQ(bmp.was_top_down(), c.layout.top_down);
    EXPECT_TRUE(std::ranges::equal(bmp.bits(), base.bits()));
    ASSERT_EQ(bmp.palette().size(), base.palette().size());
    if (c.bpp == 8) {
      EXPECT_EQ(bmp.palette()[3].red, 10);
      EXPECT_EQ(bmp.palette()[3].green, 20);
      EXPECT_EQ(bmp.palette()[3].blue, 30);
    }
  }
}

TEST(BmpReader, PaletteCountIsClampedToTheDepthAndTheTable) {
  // More colours declared than the depth can index: the depth wins.
  Bitmap bmp;
  const auto mono = encode(sample(8, 2, 1), Layout{.colours_used = 200});
  ASSERT_EQ(read_bmp(mono, bmp), BmpError::None);
  EXPECT_EQ(bmp.palette().size(), 2u);

  // A short table (16 entries, count 0 meaning 256) before the pixel data of
  // a large picture: only the entries before the pixels are taken.
  Picture q = sample(64, 32, 8);
  q.palette.resize(16);
  const auto short_table = encode(q, Layout{.colours_used = 0});
  ASSERT_EQ(read_bmp(short_table, bmp), BmpError::None);
  EXPECT_EQ(bmp.palette().size(), 16u);

  // A declared table that runs past the end of the file is refused.
  Picture tiny = sample(2, 2, 8);
  tiny.palette.resize(4);
  EXPECT_EQ(read(encode(tiny, Layout{.colours_used = 0})), BmpError::PaletteOutOfRange);
  EXPECT_EQ(read(encode(tiny)), BmpError::None);
}

TEST(BmpReader, RefusesWhatItCannotRead) {
  const auto good = encode(sample(10, 4, 24));
  ASSERT_EQ(read(good), BmpError::None);
  // The file with one 16- or 32-bit field changed.
  auto with = [&](std::size_t at, std::uint32_t v, bool wide = true) {
    auto f = good;
    wide ? put32(f, at, v) : put16(f, at, v);
    return read(f);
  };
  constexpr auto kMin = static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::min());

  EXPECT_EQ(read({}), BmpError::NotBmp);
  EXPECT_EQ(with(0, 'B' | ('A' << 8), false), BmpError::NotBmp);
  EXPECT_EQ(read({'B', 'M', 0, 0}), BmpError::TruncatedHeader);
  for (std::uint32_t size : {0u, 16u, 41u, 64u, 0xFFFFFFFFu})
    EXPECT_EQ(with(14, size), BmpError::UnsupportedHeader) << size;
  for (std::uint32_t w : {0u, 0xFFFFFFFFu, static_cast<std::uint32_t>(-640), kMin})
    EXPECT_EQ(with(18, w), BmpError::BadWidth) << w;
  for (std::uint32_t h : {0u, kMin}) EXPECT_EQ(with(22, h), BmpError::BadHeight) << h;
  for (std::uint32_t bpp : {0u, 2u, 7u, 48u, 64u})
    EXPECT_EQ(with(28, bpp, false), BmpError::UnsupportedDepth) << bpp;
  // Run lengths, JPEG, PNG; bit fields are for 16 and 32 bits only.
  for (std::uint32_t compression : {1u, 2u, 3u, 4u, 5u, 6u, 0x7FFFFFFFu})
    EXPECT_EQ(with(30, compression), BmpError::UnsupportedCompression) << compression;
  for (std::uint32_t offset : {static_cast<std::uint32_t>(good.size()) + 1, 0xFFFFFFFFu, 20u})
    EXPECT_EQ(with(10, offset), BmpError::PixelOffsetOutOfRange) << offset;
  auto cut = good;
  cut.pop_back();
  EXPECT_EQ(read(cut), BmpError::PixelDataShort);
  EXPECT_EQ(with(22, 5), BmpError::PixelDataShort);
  EXPECT_EQ(with(22, static_cast<std::uint32_t>(-5)), BmpError::PixelDataShort);
  // Sizes whose pixel data would be absurd are refused before any arithmetic
  // can wrap.
  EXPECT_EQ(with(18, 0x7FFFFFFF), BmpError::TooLarge);
  EXPECT_EQ(with(22, 0x7FFFFFFF), BmpError::TooLarge);
  EXPECT_EQ(with(22, 0x80000001u), BmpError::TooLarge);
  auto huge = good;
  put32(huge, 18, 8192);
  put32(huge, 22, 8192);
  EXPECT_EQ(read(huge), BmpError::TooLarge);

  // Bit fields after a 40-byte header need their 12 bytes of masks.
  const auto masked = encode(sample(2, 1, 32), Layout{.compression = 3});
  for (std::size_t len : {54u, 60u, 65u}) {
    EXPECT_EQ(read(std::vector<std::uint8_t>(masked.begin(), masked.begin() + len)),
              BmpError::TruncatedHeader);
  }
  EXPECT_STREQ(to_string(BmpError::PixelDataShort), "pixel data short");
}

}  // namespace
}  // namespace pink::rcptlib
