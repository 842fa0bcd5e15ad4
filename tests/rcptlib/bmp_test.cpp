#include "rcptlib/bmp.h"

#include <gtest/gtest.h>

#include <cstring>
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

TEST(BmpReader, SizesRowBytesAndBitsForEachDepth) {
  struct Case {
    int bpp;
    std::int32_t bytes_per_row;  // even
    std::size_t stride;          // multiple of 4
  };
  // 13 pixels across.
  for (const Case c : {Case{1, 2, 4}, Case{4, 8, 8}, Case{8, 14, 16}, Case{16, 26, 28},
                       Case{24, 40, 40}, Case{32, 52, 52}}) {
    const Picture p = sample(13, 5, c.bpp);
    const auto file = encode(p);
    Bitmap bmp;
    ASSERT_EQ(read_bmp(file, bmp), BmpError::None) << c.bpp;
    EXPECT_EQ(bmp.width(), 13);
    EXPECT_EQ(bmp.height(), 5);
    EXPECT_EQ(bmp.bits_per_pixel(), c.bpp);
    EXPECT_EQ(bmp.bytes_per_row(), c.bytes_per_row) << c.bpp;
    EXPECT_EQ(bmp.stride(), c.stride) << c.bpp;
    EXPECT_FALSE(bmp.was_top_down());
    // The bits are the file's pixel data, bottom row first.
    const std::uint32_t offset = file[10] | (file[11] << 8);
    ASSERT_EQ(bmp.bits().size(), c.stride * 5);
    EXPECT_EQ(0, std::memcmp(bmp.bits().data(), file.data() + offset, c.stride * 5));
    EXPECT_EQ(bmp.row(0).data(), bmp.bits().data());
    EXPECT_EQ(bmp.row(4).size(), c.stride);
    EXPECT_TRUE(bmp.row(5).empty());
    EXPECT_TRUE(bmp.row(-1).empty());
    EXPECT_EQ(bmp.palette().size(), c.bpp <= 8 ? (1u << c.bpp) : 0u);
  }
}

TEST(BmpReader, HeaderVersionsGiveTheSameBitmap) {
  Picture p = sample(21, 7, 8);
  p.palette[3] = Rgb{10, 20, 30};
  Bitmap base;
  const auto base_file = encode(p);
  ASSERT_EQ(read_bmp(base_file, base), BmpError::None);
  ASSERT_EQ(base.palette().size(), 256u);
  EXPECT_EQ(base.palette()[3].red, 10);
  EXPECT_EQ(base.palette()[3].green, 20);
  EXPECT_EQ(base.palette()[3].blue, 30);

  for (std::uint32_t size : {12u, 52u, 56u, 108u, 124u}) {
    const auto file = encode(p, Layout{.header_size = size});
    Bitmap bmp;
    ASSERT_EQ(read_bmp(file, bmp), BmpError::None) << size;
    EXPECT_EQ(bmp.width(), 21);
    EXPECT_EQ(bmp.height(), 7);
    EXPECT_TRUE(
        std::equal(bmp.bits().begin(), bmp.bits().end(), base.bits().begin(), base.bits().end()))
        << size;
    ASSERT_EQ(bmp.palette().size(), 256u) << size;
    EXPECT_EQ(bmp.palette()[3].red, 10) << size;
    EXPECT_EQ(bmp.palette()[255].blue, 255) << size;
  }

  // Bit fields on 16 and 32 bits: masks after a 40-byte header or inside a
  // longer one; the stored bytes are taken as they are.
  for (int bpp : {16, 32}) {
    const Picture q = sample(9, 3, bpp);
    Bitmap plain;
    const auto plain_file = encode(q);
    ASSERT_EQ(read_bmp(plain_file, plain), BmpError::None);
    for (std::uint32_t size : {40u, 56u, 124u}) {
      const auto file = encode(q, Layout{.header_size = size, .compression = 3});
      Bitmap bmp;
      ASSERT_EQ(read_bmp(file, bmp), BmpError::None) << bpp << " " << size;
      EXPECT_TRUE(std::equal(bmp.bits().begin(), bmp.bits().end(), plain.bits().begin(),
                             plain.bits().end()));
    }
  }
}

TEST(BmpReader, TopDownRowsComeBackBottomUp) {
  for (int bpp : {1, 24}) {
    const Picture p = sample(19, 6, bpp);
    const auto up_file = encode(p);
    const auto down_file = encode(p, Layout{.top_down = true});
    Bitmap up, down;
    ASSERT_EQ(read_bmp(up_file, up), BmpError::None);
    ASSERT_EQ(read_bmp(down_file, down), BmpError::None);
    EXPECT_TRUE(down.was_top_down());
    EXPECT_EQ(down.height(), 6);
    EXPECT_TRUE(
        std::equal(up.bits().begin(), up.bits().end(), down.bits().begin(), down.bits().end()))
        << bpp;
    // A copy keeps its own rows.
    const Bitmap copy = down;
    EXPECT_TRUE(
        std::equal(copy.bits().begin(), copy.bits().end(), up.bits().begin(), up.bits().end()));
  }
}

TEST(BmpReader, PaletteCountIsClampedToTheDepthAndTheTable) {
  // More colours declared than the depth can index: the depth wins.
  Picture p = sample(8, 2, 1);
  auto file = encode(p, Layout{.colours_used = 200});
  Bitmap bmp;
  ASSERT_EQ(read_bmp(file, bmp), BmpError::None);
  EXPECT_EQ(bmp.palette().size(), 2u);

  // A short table (16 entries, count 0 meaning 256) before the pixel data of
  // a large picture: only the entries before the pixels are taken.
  Picture q = sample(64, 32, 8);
  q.palette.resize(16);
  file = encode(q, Layout{.colours_used = 0});
  ASSERT_EQ(read_bmp(file, bmp), BmpError::None);
  EXPECT_EQ(bmp.palette().size(), 16u);

  // A declared table that runs past the end of the file is refused.
  Picture tiny = sample(2, 2, 8);
  tiny.palette.resize(4);
  EXPECT_EQ(read(encode(tiny, Layout{.colours_used = 0})), BmpError::PaletteOutOfRange);
  EXPECT_EQ(read(encode(tiny)), BmpError::None);
}

TEST(BmpReader, RefusesWhatItCannotRead) {
  const Picture p = sample(10, 4, 24);
  const auto good = encode(p);
  ASSERT_EQ(read(good), BmpError::None);
  auto with = [&](auto change) {
    auto f = good;
    change(f);
    return read(f);
  };

  EXPECT_EQ(read({}), BmpError::NotBmp);
  EXPECT_EQ(with([](auto& f) { f[1] = 'A'; }), BmpError::NotBmp);
  EXPECT_EQ(read({'B', 'M', 0, 0}), BmpError::TruncatedHeader);
  for (std::uint32_t size : {0u, 16u, 41u, 64u, 0xFFFFFFFFu}) {
    EXPECT_EQ(with([&](auto& f) { put32(f, 14, size); }), BmpError::UnsupportedHeader) << size;
  }
  for (std::int32_t w : {0, -1, -640, std::numeric_limits<std::int32_t>::min()}) {
    EXPECT_EQ(with([&](auto& f) { put32(f, 18, static_cast<std::uint32_t>(w)); }),
              BmpError::BadWidth)
        << w;
  }
  for (std::int32_t h : {0, std::numeric_limits<std::int32_t>::min()}) {
    EXPECT_EQ(with([&](auto& f) { put32(f, 22, static_cast<std::uint32_t>(h)); }),
              BmpError::BadHeight)
        << h;
  }
  for (std::uint32_t bpp : {0u, 2u, 7u, 48u, 64u}) {
    EXPECT_EQ(with([&](auto& f) { put16(f, 28, bpp); }), BmpError::UnsupportedDepth) << bpp;
  }
  for (std::uint32_t compression : {1u, 2u, 3u, 4u, 5u, 6u, 0x7FFFFFFFu}) {
    // Run lengths, JPEG, PNG; bit fields are for 16 and 32 bits only.
    EXPECT_EQ(with([&](auto& f) { put32(f, 30, compression); }), BmpError::UnsupportedCompression)
        << compression;
  }
  EXPECT_EQ(with([](auto& f) { put32(f, 10, static_cast<std::uint32_t>(f.size()) + 1); }),
            BmpError::PixelOffsetOutOfRange);
  EXPECT_EQ(with([](auto& f) { put32(f, 10, 0xFFFFFFFFu); }), BmpError::PixelOffsetOutOfRange);
  EXPECT_EQ(with([](auto& f) { put32(f, 10, 20); }), BmpError::PixelOffsetOutOfRange);
  EXPECT_EQ(with([](auto& f) { f.pop_back(); }), BmpError::PixelDataShort);
  EXPECT_EQ(with([](auto& f) { put32(f, 22, 5); }), BmpError::PixelDataShort);
  EXPECT_EQ(with([](auto& f) { put32(f, 22, static_cast<std::uint32_t>(-5)); }),
            BmpError::PixelDataShort);
  // Sizes whose pixel data would be absurd are refused before any arithmetic
  // can wrap.
  EXPECT_EQ(with([](auto& f) { put32(f, 18, 0x7FFFFFFF); }), BmpError::TooLarge);
  EXPECT_EQ(with([](auto& f) { put32(f, 22, 0x7FFFFFFF); }), BmpError::TooLarge);
  EXPECT_EQ(with([](auto& f) { put32(f, 22, 0x80000001u); }), BmpError::TooLarge);
  EXPECT_EQ(with([](auto& f) {
              put32(f, 18, 8192);
              put32(f, 22, 8192);
            }),
            BmpError::TooLarge);

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
