// The pictures a printout holds (downloaded bit images that are printed,
// parallel-port logo rows) and the PNG files made of them.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "tests/vprinter/streams.h"
#include "tools/vprinter/decoder.h"
#include "tools/vprinter/images.h"
#include "tools/vprinter/png.h"

namespace pink::vprinter {
namespace {

using testing::bytes;

std::vector<Picture> pictures_of(const std::string& stream) {
  const auto events = decode(stream);
  return pictures(events);
}

// GS * x y with the column bytes a function gives for (column, band).
template <typename F>
std::string define_image(int x, int y, F byte) {
  std::string out = bytes({0x1D, 0x2A, x, y});
  for (int column = 0; column < x * 8; ++column) {
    for (int band = 0; band < y; ++band) out += static_cast<char>(byte(column, band));
  }
  return out;
}

const std::string kPrint = bytes({0x1D, 0x2F, 0x30});

TEST(VprinterPictures, BitImageColumnsBecomeRowsOfDots) {
  // Column c carries in band b the byte with one bit: the dot at row
  // 8b + (c mod 8): a staircase in every band.
  const std::string stream = define_image(2, 2, [](int c, int) { return 0x80 >> (c % 8); }) + kPrint;
  const auto pics = pictures_of(stream);
  ASSERT_EQ(pics.size(), 1u);
  const Bitmap& b = pics[0].bitmap;
  EXPECT_EQ(pics[0].file_name, "image-1.png");
  EXPECT_EQ(pics[0].sources, std::vector<std::size_t>{0});
  ASSERT_EQ(b.width, 16u);
  ASSERT_EQ(b.height, 16u);
  for (std::uint32_t y = 0; y < 16; ++y) {
    for (std::uint32_t x = 0; x < 16; ++x) {
      EXPECT_EQ(b.dot(x, y), x % 8 == y % 8) << x << "," << y;
    }
  }

  // The top dot of a column is bit 7 of its first byte; the bottom dot is
  // bit 0 of its last.
  const Bitmap corners = bit_image_dots(
      1, 3, testing::as_span(bytes({0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                    0, 0, 0, 0x01})));
  ASSERT_EQ(corners.bits.size(), 24u);
  EXPECT_TRUE(corners.dot(0, 0));
  EXPECT_TRUE(corners.dot(7, 23));
  int dots = 0;
  for (std::uint32_t y = 0; y < 24; ++y) {
    for (std::uint32_t x = 0; x < 8; ++x) dots += corners.dot(x, y);
  }
  EXPECT_EQ(dots, 2);
}

TEST(VprinterPictures, OnlyPrintedImagesAndClosedLogoBlocksArePictures) {
  const std::string full = define_image(1, 1, [](int, int) { return 0xFF; });
  const std::string half = define_image(1, 1, [](int c, int) { return c < 4 ? 0xFF : 0x00; });
  const std::string row_a(kRasterRowBytes, '\x81'), row_b(kRasterRowBytes, '\x18');
  const std::string rows = bytes({0x1B, 0x56, 0x01, 0x00}) + row_a + bytes({0x1B, 0x56, 0x01, 0x00}) + row_b;
  const std::string begin = bytes({0x12, 0x7A, 0x00, 0x48, 0x21});
  const std::string end = bytes({0x12, 0x7A, 0x01, 0x00});

  // Defined and never printed; replaced before printing; printed twice;
  // empty; a logo block closing before an image defined earlier is printed.
  const std::string stream = full + half + kPrint + kPrint +                // events 0..3
                             bytes({0x1D, 0x2A, 0x00, 0x01}) + kPrint +     // 4, 5
                             rows +                                          // 6, 7: no block
                             full + begin + rows + end + kPrint +            // 8..13
                             begin + rows;                                   // 14..16: not closed
  const auto pics = pictures_of(stream);
  ASSERT_EQ(pics.size(), 3u);

  EXPECT_EQ(pics[0].file_name, "image-1.png");
  EXPECT_EQ(pics[0].sources, std::vector<std::size_t>{1});
  EXPECT_TRUE(pics[0].bitmap.dot(3, 7));
  EXPECT_FALSE(pics[0].bitmap.dot(4, 0));

  EXPECT_EQ(pics[1].file_name, "image-2.png");
  EXPECT_EQ(pics[1].sources, (std::vector<std::size_t>{10, 11}));
  EXPECT_EQ(pics[1].bitmap.width, 576u);
  EXPECT_EQ(pics[1].bitmap.height, 2u);
  const std::string both = row_a + row_b;
  EXPECT_EQ(pics[1].bitmap.bits, std::vector<std::uint8_t>(both.begin(), both.end()));

  EXPECT_EQ(pics[2].file_name, "image-3.png");
  EXPECT_EQ(pics[2].sources, std::vector<std::size_t>{8});
  EXPECT_TRUE(pics[2].bitmap.dot(7, 7));
}

std::uint32_t get32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at + 2]} << 8 |
         b[at + 3];
}

struct Chunk {
  std::string type;
  std::vector<std::uint8_t> data;
};

// Splits a PNG file into its chunks, checking each chunk's CRC.
std::vector<Chunk> chunks(const std::vector<std::uint8_t>& png) {
  std::vector<Chunk> out;
  std::size_t at = 8;
  while (at + 12 <= png.size()) {
    const std::uint32_t length = get32(png, at);
    EXPECT_LE(at + 12 + length, png.size());
    if (at + 12 + length > png.size()) break;
    Chunk c;
    c.type.assign(png.begin() + static_cast<long>(at) + 4, png.begin() + static_cast<long>(at) + 8);
    c.data.assign(png.begin() + static_cast<long>(at) + 8,
                  png.begin() + static_cast<long>(at + 8 + length));
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), png.data() + at + 4, static_cast<uInt>(4 + length));
    EXPECT_EQ(get32(png, at + 8 + length), static_cast<std::uint32_t>(crc)) << c.type;
    out.push_back(std::move(c));
    at += 12 + length;
  }
  EXPECT_EQ(at, png.size());
  return out;
}

TEST(VprinterPng, WritesOneBitGreyWithDotsBlack) {
  // 13 x 3: the last byte of each row has 3 padding bits, which must stay white.
  Bitmap b;
  b.width = 13;
  b.height = 3;
  b.bits = {0x80, 0x08,   // dots at x 0 and 12
            0xFF, 0xFF,   // a full row (padding bits set in the input)
            0x00, 0x00};  // empty
  const auto png = encode_png(b);
  ASSERT_GE(png.size(), 8u);
  EXPECT_EQ(std::vector<std::uint8_t>(png.begin(), png.begin() + 8),
            (std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}));

  const auto parts = chunks(png);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[0].type, "IHDR");
  EXPECT_EQ(parts[0].data, (std::vector<std::uint8_t>{0, 0, 0, 13, 0, 0, 0, 3,
                                                      1,    // bit depth
                                                      0,    // greyscale
                                                      0,    // deflate
                                                      0,    // filter method
                                                      0}));  // no interlace
  EXPECT_EQ(parts[1].type, "IDAT");
  EXPECT_EQ(parts[2].type, "IEND");
  EXPECT_TRUE(parts[2].data.empty());

  std::vector<std::uint8_t> scanlines(64);
  uLongf size = scanlines.size();
  ASSERT_EQ(uncompress(scanlines.data(), &size, parts[1].data.data(),
                       static_cast<uLong>(parts[1].data.size())),
            Z_OK);
  scanlines.resize(size);
  EXPECT_EQ(scanlines, (std::vector<std::uint8_t>{0, 0x7F, 0xF7,  // filter 0, then white = 1
                                                  0, 0x00, 0x07,
                                                  0, 0xFF, 0xFF}));

  // Nothing to draw, or bits that do not fill the rows: no file.
  EXPECT_TRUE(encode_png(Bitmap{}).empty());
  Bitmap short_bits{16, 2, {0x00, 0x00, 0x00}};
  EXPECT_TRUE(encode_png(short_bits).empty());
}

TEST(VprinterPng, LogoRowsMakeA576DotWidePicture) {
  std::string stream = bytes({0x12, 0x7A, 0x00, 0x48, 0x21});
  for (int r = 0; r < 166; ++r) {
    std::string row(kRasterRowBytes, '\0');
    row[static_cast<std::size_t>(8 + r % 56)] = '\xFF';
    stream += bytes({0x1B, 0x56, 0x01, 0x00}) + row;
  }
  stream += bytes({0x12, 0x7A, 0x01, 0x00});
  const auto pics = pictures_of(stream);
  ASSERT_EQ(pics.size(), 1u);
  const auto png = encode_png(pics[0].bitmap);
  const auto parts = chunks(png);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(get32(parts[0].data, 0), 576u);
  EXPECT_EQ(get32(parts[0].data, 4), 166u);

  std::vector<std::uint8_t> scanlines(166 * 73 + 1);
  uLongf size = scanlines.size();
  ASSERT_EQ(uncompress(scanlines.data(), &size, parts[1].data.data(),
                       static_cast<uLong>(parts[1].data.size())),
            Z_OK);
  ASSERT_EQ(size, 166u * 73);
  for (std::size_t r = 0; r < 166; ++r) {
    for (std::size_t i = 0; i < 72; ++i) {
      const std::uint8_t want = i == 8 + r % 56 ? 0x00 : 0xFF;
      ASSERT_EQ(scanlines[r * 73 + 1 + i], want) << r << "," << i;
    }
  }
}

}  // namespace
}  // namespace pink::vprinter
