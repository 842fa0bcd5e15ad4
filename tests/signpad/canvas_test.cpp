// The controls' off-screen canvas: GDI's bounding-box rules for shapes, text
// through the system font, and a PNG that a standard decoder reads back.
#include "signpad/canvas.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

namespace pink::signpad {
namespace {

constexpr Rgb kRed{255, 0, 0};

std::uint32_t be32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

TEST(Canvas, ShapesKeepToTheirBoundingBoxes) {
  Canvas c(20, 10);
  c.rectangle(2, 1, 8, 5, kBlack, kRed);
  EXPECT_EQ(c.pixel(2, 1), kBlack);  // left and top edges are drawn
  EXPECT_EQ(c.pixel(7, 4), kBlack);  // the last column and row inside
  EXPECT_EQ(c.pixel(8, 4), kWhite);  // right and bottom are excluded
  EXPECT_EQ(c.pixel(7, 5), kWhite);
  EXPECT_EQ(c.pixel(4, 3), kRed);

  c.fill(kWhite);
  c.ellipse(10, 0, 16, 6, kBlack);  // a 6 x 6 circle
  EXPECT_EQ(c.pixel(13, 3), kBlack);
  EXPECT_EQ(c.pixel(10, 0), kWhite);  // the corners stay clear
  EXPECT_EQ(c.pixel(15, 5), kWhite);
  EXPECT_EQ(c.pixel(16, 3), kWhite);
  // Shapes partly or wholly outside are clipped, never written out of range.
  c.ellipse(-5, -5, 3, 3, kBlack);
  c.rectangle(15, 5, 40, 40, kBlack, kBlack);
  c.set_pixel(-1, 0, kBlack);
  c.set_pixel(20, 0, kBlack);
  EXPECT_EQ(c.pixel(19, 9), kBlack);
  EXPECT_EQ(c.pixel(100, 100), kWhite);
}

TEST(Canvas, KoreanTextIsDrawnWithTheSystemFont) {
  Canvas c(200, 40);
  // "서명" in cp949.
  c.text(4, 4, "\xBC\xAD\xB8\xED", 24, kBlack);
  int inked = 0, min_x = 200, max_x = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 200; ++x) {
      if (c.pixel(x, y) != kWhite) {
        ++inked;
        min_x = std::min(min_x, x);
        max_x = std::max(max_x, x);
      }
    }
  }
  EXPECT_GT(inked, 50);
  EXPECT_GE(min_x, 4);
  EXPECT_GT(max_x - min_x, 20);  // two syllables side by side
  Canvas blank(50, 20);
  blank.text(0, 0, "", 12, kBlack);
  blank.text(0, 0, "x", 0, kBlack);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 50; ++x) ASSERT_EQ(blank.pixel(x, y), kWhite);
  }
}

TEST(Canvas, PngDecodesBackToThePixels) {
  Canvas c(300, 100);  // 90,100 bytes of rows: two stored deflate blocks
  c.set_pixel(0, 0, kRed);
  c.set_pixel(299, 99, Rgb{1, 2, 3});
  const auto png = c.png();
  ASSERT_GT(png.size(), 8u + 25u);
  EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
  EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
  EXPECT_EQ(be32(png, 16), 300u);
  EXPECT_EQ(be32(png, 20), 100u);
  const std::size_t idat_length = be32(png, 33);
  ASSERT_EQ(std::string(png.begin() + 37, png.begin() + 41), "IDAT");
  std::vector<std::uint8_t> raw(100 * (1 + 300 * 3));
  uLongf raw_size = raw.size();
  ASSERT_EQ(uncompress(raw.data(), &raw_size, png.data() + 41, idat_length), Z_OK);
  ASSERT_EQ(raw_size, raw.size());
  EXPECT_EQ(raw[0], 0);  // filter
  EXPECT_EQ(raw[1], 255);
  EXPECT_EQ(raw[2], 0);
  EXPECT_EQ(raw[raw.size() - 3], 1);
  EXPECT_EQ(raw[raw.size() - 1], 3);
  // The chunk CRCs are what zlib's crc32 computes.
  const std::uint32_t crc = static_cast<std::uint32_t>(::crc32(0, png.data() + 37, 4 + static_cast<uInt>(idat_length)));
  EXPECT_EQ(be32(png, 41 + idat_length), crc);
  EXPECT_EQ(std::string(png.end() - 8, png.end() - 4), "IEND");
}

}  // namespace
}  // namespace pink::signpad
