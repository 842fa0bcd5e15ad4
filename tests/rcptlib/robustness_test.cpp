// Unreadable, hostile and oversized files: the conversion refuses them
// without reading outside the file (the test build runs with address and
// undefined-behaviour checks), and whatever it accepts has the sizes its
// header announces.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "rcptlib/bitimage.h"
#include "rcptlib/bmp.h"
#include "tests/rcptlib/bmp_writer.h"

namespace pink::rcptlib {
namespace {

using testing::encode;
using testing::Layout;
using testing::Picture;
using testing::put16;
using testing::put32;
using testing::Rgb;

Picture filled(int w, int h, int bpp, unsigned seed) { return testing::noise(w, h, bpp, std::mt19937(seed)); }

// Valid files of every kind the reader takes.
std::vector<std::vector<std::uint8_t>> valid_files() {
  std::vector<std::vector<std::uint8_t>> files;
  unsigned seed = 1;
  for (int bpp : {1, 4, 8, 16, 24, 32}) files.push_back(encode(filled(37, 23, bpp, seed++)));
  files.push_back(encode(filled(13, 9, 24, seed++), Layout{.header_size = 12}));
  files.push_back(encode(filled(13, 9, 1, seed++), Layout{.header_size = 12}));
  files.push_back(encode(filled(17, 5, 8, seed++), Layout{.header_size = 124}));
  files.push_back(encode(filled(17, 5, 32, seed++), Layout{.compression = 3}));
  files.push_back(encode(filled(17, 5, 16, seed++), Layout{.header_size = 108, .compression = 3}));
  files.push_back(encode(filled(17, 5, 24, seed++), Layout{.top_down = true}));
  files.push_back(encode(filled(17, 5, 1, seed++), Layout{.top_down = true}));
  return files;
}

// A conversion that succeeded holds exactly the bytes its header announces.
void expect_consistent(const BitImage& image, ConvertError e) {
  if (e != ConvertError::None) {
    EXPECT_TRUE(image.raster.empty());
    return;
  }
  EXPECT_EQ(image.header[0], 0x1D);
  EXPECT_EQ(image.header[1], 0x2A);
  EXPECT_EQ(image.raster.size(), std::size_t{image.header[2]} * image.header[3] * 8);
  EXPECT_LE(image.raster.size(), kMaxRasterBytes);
}

TEST(BitImageInput, TruncatedFilesAreRefusedAtEveryLength) {
  for (const auto& file : valid_files()) {
    BitImage image;
    ASSERT_EQ(convert(file, 0, 0, image), ConvertError::None);
    for (std::size_t len = 0; len < file.size(); ++len) {
      const std::vector<std::uint8_t> cut(file.begin(),
                                          file.begin() + static_cast<std::ptrdiff_t>(len));
      (void)classify(cut);
      EXPECT_EQ(convert(cut, 0, 0, image), ConvertError::NotABitmap) << "length " << len;
      EXPECT_TRUE(image.raster.empty());
    }
  }
}

TEST(BitImageInput, HostileHeadersAreRefused) {
  const auto good = encode(filled(10, 4, 8, 4));
  auto refused = [&](auto change) {
    auto f = good;
    change(f);
    const std::vector<std::uint8_t> input(f.begin(), f.end());  // no spare capacity
    BitImage image;
    return convert(input, 0, 0, image) == ConvertError::NotABitmap && image.raster.empty();
  };
  EXPECT_TRUE(refused([](auto& f) { put32(f, 18, 0); }));            // zero width
  EXPECT_TRUE(refused([](auto& f) { put32(f, 18, 0xFFFFFFFFu); }));  // negative width
  EXPECT_TRUE(refused([](auto& f) { put32(f, 22, 0); }));            // zero height
  EXPECT_TRUE(refused([](auto& f) { put32(f, 22, 0x80000000u); }));  // no positive height
  EXPECT_TRUE(refused([](auto& f) { put32(f, 18, 0x7FFFFFFF); }));   // huge width
  EXPECT_TRUE(refused([](auto& f) { put32(f, 22, 0x7FFFFFFF); }));   // huge height
  EXPECT_TRUE(refused([](auto& f) { put32(f, 10, static_cast<std::uint32_t>(f.size()) + 4); }));
  EXPECT_TRUE(refused([](auto& f) { put32(f, 10, 0xFFFFFFF0u); }));  // offset wraps
  EXPECT_TRUE(refused([](auto& f) {
    put32(f, 46, 0);
    f.resize(54 + 64);
  }));                                                              // table past the end
  EXPECT_TRUE(refused([](auto& f) { put32(f, 14, 0x7FFFFFFF); }));  // header size
  EXPECT_TRUE(refused([](auto& f) { put32(f, 30, 1); }));           // run lengths, 8 bpp
  EXPECT_TRUE(refused([](auto& f) { put16(f, 28, 2); }));           // 2 bpp

  const auto four = encode(filled(10, 4, 4, 5));
  auto rle4 = four;
  put32(rle4, 30, 2);
  BitImage image;
  EXPECT_EQ(convert(rle4, 0, 0, image), ConvertError::NotABitmap);
  EXPECT_EQ(convert(four, 0, 0, image), ConvertError::None);
}

TEST(BitImageInput, TopDownFilesPrintTheRightWayUp) {
  // Corners that classify the same whichever row is stored first.
  for (int bpp : {1, 24, 8}) {
    Picture p = filled(29, 21, bpp, 6);
    if (bpp == 24) {
      p.at(0, 0) = 0x123456;
      p.at(0, 20) = 0x654321;
    }
    BitImage up, down;
    ASSERT_EQ(convert(encode(p), 0, 0, up), ConvertError::None);
    ASSERT_EQ(convert(encode(p, Layout{.top_down = true}), 0, 0, down), ConvertError::None);
    EXPECT_EQ(up.header, down.header);
    EXPECT_EQ(up.raster, down.raster) << bpp;
  }
}

TEST(BitImageInput, SixteenBitFilesHaveNoGrey) {
  // Pixel data at 54: converted, every pixel grey 0, so all of rows d ... H-1
  // print, whatever the colours.
  Picture p = filled(20, 13, 16, 7);
  p.at(0, 12) = 0x1234;
  BitImage image;
  ASSERT_EQ(convert(encode(p), 0, 0, image), ConvertError::None);
  EXPECT_EQ(image.header, (std::array<std::uint8_t, 4>{0x1D, 0x2A, 3, 2}));
  for (int x = 0; x < 24; ++x) {
    for (int r = 0; r < 16; ++r) {
      const bool printed =
          (image.raster[static_cast<std::size_t>(x * 2 + r / 8)] & (0x80 >> (r % 8))) != 0;
      EXPECT_EQ(printed, x < 20 && r >= 3 && r < 13) << x << " " << r;
    }
  }
  // Masks after the header move the pixel data: the monochrome reading.
  ASSERT_EQ(convert(encode(p, Layout{.compression = 3}), 0, 0, image), ConvertError::None);
  expect_consistent(image, ConvertError::None);
}

TEST(BitImageInput, MutatedFilesNeverReadOutside) {
  const auto files = valid_files();
  for (unsigned seed : {1u, 2u, 3u}) {
    std::mt19937 rng(seed);
    BitImage image;
    for (int i = 0; i < 1500; ++i) {
      auto f = files[rng() % files.size()];
      switch (rng() % 4) {
        case 0:  // random bytes anywhere
          for (unsigned n = 1 + rng() % 4; n > 0; --n)
            f[rng() % f.size()] ^= static_cast<std::uint8_t>(1 + rng() % 255);
          break;
        case 1: {  // a header field set to an edge value
          static constexpr std::size_t kFields[] = {10, 14, 18, 20, 22, 24, 28, 30, 46};
          static constexpr std::uint32_t kValues[] = {
              0, 1, 0xFF, 0xFFFF, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 54, 8, 4, 12, 124};
          const std::size_t at = kFields[rng() % std::size(kFields)];
          if (at + 4 <= f.size()) put32(f, at, kValues[rng() % std::size(kValues)]);
          break;
        }
        case 2:  // bytes in the first 64 (headers, table, classification bytes)
          for (unsigned n = 1 + rng() % 3; n > 0; --n) {
            f[rng() % std::min<std::size_t>(64, f.size())] = static_cast<std::uint8_t>(rng());
          }
          break;
        default:  // cut short or padded
          if (rng() % 2) {
            f.resize(rng() % f.size());
          } else {
            f.resize(f.size() + rng() % 64, static_cast<std::uint8_t>(rng()));
          }
          break;
      }
      // A fresh copy holds no spare capacity, so any read past its end is
      // one the address checks see.
      const std::vector<std::uint8_t> input(f.begin(), f.end());
      const ConvertError e = convert(input, static_cast<std::int32_t>(rng() % 5) - 1,
                                     static_cast<std::int32_t>(rng() % 6) - 1, image);
      expect_consistent(image, e);
      Bitmap bmp;
      if (read_bmp(input, bmp) == BmpError::None) {
        EXPECT_GE(bmp.bits().size(), bmp.stride() * static_cast<std::size_t>(bmp.height()));
        EXPECT_NE(e, ConvertError::NotABitmap);
      } else {
        EXPECT_EQ(e, ConvertError::NotABitmap);
      }
    }
  }
}

TEST(BitImageInput, LimitsOfTheWorkArea) {
  BitImage image;
  // Converted files: at most 500 x 650 pixels.
  EXPECT_EQ(convert(encode(filled(500, 650, 24, 8)), 0, 0, image), ConvertError::None);
  EXPECT_EQ(image.header, (std::array<std::uint8_t, 4>{0x1D, 0x2A, 63, 82}));
  EXPECT_EQ(convert(encode(filled(501, 10, 24, 8)), 0, 0, image), ConvertError::TooLarge);
  EXPECT_TRUE(image.raster.empty());
  EXPECT_EQ(convert(encode(filled(10, 651, 24, 8)), 0, 0, image), ConvertError::TooLarge);
  EXPECT_EQ(convert(encode(filled(501, 10, 8, 8)), 0, 0, image), ConvertError::TooLarge);

  // Monochrome files: one header byte each way and the raster buffer.
  Picture wide = filled(2048, 8, 1, 9);
  EXPECT_EQ(convert(encode(wide), 0, 0, image), ConvertError::TooLarge);
  EXPECT_EQ(convert(encode(filled(2040, 8, 1, 9)), 0, 0, image), ConvertError::None);
  EXPECT_EQ(image.header, (std::array<std::uint8_t, 4>{0x1D, 0x2A, 255, 1}));
  EXPECT_EQ(convert(encode(filled(8, 2041, 1, 9)), 0, 0, image), ConvertError::TooLarge);
  EXPECT_EQ(convert(encode(filled(8, 2040, 1, 9)), 0, 0, image), ConvertError::None);
  // 1536 x 1024 fills the 196,608-byte raster exactly; one more band does not fit.
  EXPECT_EQ(convert(encode(filled(1536, 1024, 1, 9)), 0, 0, image), ConvertError::None);
  EXPECT_EQ(image.raster.size(), kMaxRasterBytes);
  EXPECT_EQ(convert(encode(filled(1536, 1025, 1, 9)), 0, 0, image), ConvertError::TooLarge);
  // Converted beyond 500 x 650 also on a white-first file.
  Picture white = filled(504, 8, 24, 10);
  white.at(0, 7) = 0xFFFFFF;
  EXPECT_EQ(convert(encode(white), 0, 0, image), ConvertError::TooLarge);
}

}  // namespace
}  // namespace pink::rcptlib
