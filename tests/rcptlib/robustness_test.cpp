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
using testing::put32;

Picture filled(int w, int h, int bpp, unsigned seed) { return testing::noise(w, h, bpp, std::mt19937(seed)); }

ConvertError convert_of(const Picture& p, const Layout& layout = {}) {
  BitImage image;
  return convert(encode(p, layout), 0, 0, image);
}

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

TEST(BitImageInput, TruncatedFilesAreRefusedAtEveryLength) {
  for (const auto& file : valid_files()) {
    BitImage image;
    ASSERT_EQ(convert(file, 0, 0, image), ConvertError::None);
    for (std::size_t len = 0; len < file.size(); ++len) {
      const std::vector<std::uint8_t> cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(len));
      (void)classify(cut);
      EXPECT_EQ(convert(cut, 0, 0, image), ConvertError::NotABitmap) << "length " << len;
      EXPECT_TRUE(image.raster.empty());
    }
  }
}

TEST(BitImageInput, MutatedFilesNeverReadOutside) {
  static constexpr std::size_t kFields[] = {10, 14, 18, 20, 22, 24, 28, 30, 46};
  static constexpr std::uint32_t kValues[] = {0,           1,           0xFF, 0xFFFF, 0x7FFFFFFF, 0x80000000u,
                                              0xFFFFFFFFu, 54,          8,    4,      12,         124};
  const auto files = valid_files();
  std::mt19937 rng(1);
  BitImage image;
  for (int i = 0; i < 4500; ++i) {
    auto f = files[rng() % files.size()];
    switch (rng() % 3) {
      case 0:  // bytes changed anywhere, or among the headers, table and classification bytes
        for (std::size_t n = 1 + rng() % 4, span = rng() % 2 ? 64 : f.size(); n > 0; --n)
          f[rng() % span] ^= static_cast<std::uint8_t>(1 + rng() % 255);
        break;
      case 1:  // a header field set to an edge value
        put32(f, kFields[rng() % std::size(kFields)], kValues[rng() % std::size(kValues)]);
        break;
      default:  // cut short or padded
        f.resize(rng() % 2 ? rng() % f.size() : f.size() + rng() % 64, static_cast<std::uint8_t>(rng()));
        break;
    }
    // A fresh copy holds no spare capacity, so any read past its end is
    // one the address checks see.
    const std::vector<std::uint8_t> input(f.begin(), f.end());
    const ConvertError e = convert(input, static_cast<std::int32_t>(rng() % 5) - 1,
                                   static_cast<std::int32_t>(rng() % 6) - 1, image);
    Bitmap bmp;
    const bool readable = read_bmp(input, bmp) == BmpError::None;
    EXPECT_EQ(e == ConvertError::NotABitmap, !readable);
    if (e == ConvertError::None) {
      // What it accepts holds exactly the bytes its header announces.
      EXPECT_EQ(image.raster.size(), std::size_t{image.header[2]} * image.header[3] * 8);
      EXPECT_LE(image.raster.size(), kMaxRasterBytes);
    } else {
      EXPECT_TRUE(image.raster.empty());
    }
  }
}

TEST(BitImageInput, LimitsOfTheWorkArea) {
  // Converted files: at most 500 x 650 pixels, also when white-first.
  BitImage image;
  EXPECT_EQ(convert(encode(filled(500, 650, 24, 8)), 0, 0, image), ConvertError::None);
  EXPECT_EQ(image.header, (std::array<std::uint8_t, 4>{0x1D, 0x2A, 63, 82}));
  EXPECT_EQ(convert(encode(filled(501, 10, 24, 8)), 0, 0, image), ConvertError::TooLarge);
  EXPECT_TRUE(image.raster.empty());
  EXPECT_EQ(convert_of(filled(10, 651, 24, 8)), ConvertError::TooLarge);
  EXPECT_EQ(convert_of(filled(501, 10, 8, 8)), ConvertError::TooLarge);
  Picture white = filled(504, 8, 24, 10);
  white.at(0, 7) = 0xFFFFFF;
  EXPECT_EQ(convert_of(white), ConvertError::TooLarge);

  // Monochrome files: one header byte each way and the raster buffer.
  EXPECT_EQ(convert_of(filled(2048, 8, 1, 9)), ConvertError::TooLarge);
  EXPECT_EQ(convert(encode(filled(2040, 8, 1, 9)), 0, 0, image), ConvertError::None);
  EXPECT_EQ(image.header, (std::array<std::uint8_t, 4>{0x1D, 0x2A, 255, 1}));
  EXPECT_EQ(convert_of(filled(8, 2041, 1, 9)), ConvertError::TooLarge);
  EXPECT_EQ(convert_of(filled(8, 2040, 1, 9)), ConvertError::None);
  // 1536 x 1024 fills the 196,608-byte raster exactly; one more band does not fit.
  EXPECT_EQ(convert(encode(filled(1536, 1024, 1, 9)), 0, 0, image), ConvertError::None);
  EXPECT_EQ(image.raster.size(), kMaxRasterBytes);
  EXPECT_EQ(convert_of(filled(1536, 1025, 1, 9)), ConvertError::TooLarge);
}

}  // namespace
}  // namespace pink::rcptlib
