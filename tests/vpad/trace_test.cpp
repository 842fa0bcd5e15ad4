// The virtual pad's signatures: the ink of bitmap files as written by the
// controls and by image editors, traced into pen points that draw exactly
// that ink, in strokes a hand would make; and the built-in sample.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "signpad/capture.h"
#include "tools/vpad/trace.h"

namespace pink::vpad {
namespace {

using signpad::PointImage;
using Bytes = std::vector<std::uint8_t>;

bool ink(const PointImage& image, int x, int y) {
  const int bit = y * 128 + x;
  return (image[static_cast<std::size_t>(bit / 8)] >> (7 - bit % 8)) & 1;
}

PointImage image_of(const std::vector<std::pair<int, int>>& pixels) {
  PointImage image{};
  for (const auto& [x, y] : pixels) {
    const int bit = y * 128 + x;
    image[static_cast<std::size_t>(bit / 8)] |= static_cast<std::uint8_t>(0x80 >> (bit % 8));
  }
  return image;
}

// A deterministic scatter of blobs and lines over the whole pad, edges
// and corners included.
PointImage scribble(std::uint32_t seed) {
  std::vector<std::pair<int, int>> pixels{{0, 0}, {127, 0}, {0, 63}, {127, 63}};
  for (int i = 0; i < 40; ++i) {
    seed = seed * 1103515245u + 12345u;
    int x = static_cast<int>(seed >> 8) % 128, y = static_cast<int>(seed >> 20) % 64;
    const int dx = static_cast<int>(seed % 3) - 1, dy = static_cast<int>(seed / 3 % 3) - 1;
    for (int k = 0; k < static_cast<int>(seed % 30); ++k, x += dx, y += dy) {
      if (x < 0 || x > 127 || y < 0 || y > 63) break;
      pixels.emplace_back(x, y);
      if (seed & 4) pixels.emplace_back(std::min(x + 1, 127), y);  // thick lines too
    }
  }
  return image_of(pixels);
}

// The number of strokes: a stroke goes on while each point touches the one before.
int strokes(const Points& points) {
  int n = points.empty() ? 0 : 1;
  for (std::size_t i = 1; i < points.size(); ++i) {
    if (std::abs(points[i].first - points[i - 1].first) > 1 || std::abs(points[i].second - points[i - 1].second) > 1) {
      ++n;
    }
  }
  return n;
}

TEST(VpadTrace, EveryInkPixelIsSentOnceAndDrawsBackTheSameImage) {
  const std::vector<PointImage> images{PointImage{}, scribble(1), scribble(2), scribble(77), draw_points(sample_signature()),
                                       [] {
                                         PointImage full;
                                         full.fill(0xFF);
                                         return full;
                                       }()};
  for (const PointImage& image : images) {
    const Points points = trace_ink(image);
    EXPECT_EQ(draw_points(points), image);
    std::set<std::pair<int, int>> distinct(points.begin(), points.end());
    EXPECT_EQ(distinct.size(), points.size()) << "a pixel was sent twice";
    for (const auto& [x, y] : points) {
      EXPECT_TRUE(x >= 0 && x < 128 && y >= 1 && y <= 64) << x << "," << y;
    }
    // A pad that counts its rows from 0 gets the same strokes one row up.
    const Points from_zero = trace_ink(image, 0);
    EXPECT_EQ(draw_points(from_zero, 0), image);
    ASSERT_EQ(from_zero.size(), points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
      EXPECT_EQ(from_zero[i], (std::pair{points[i].first, points[i].second - 1}));
    }
  }
}

TEST(VpadTrace, StrokesFollowTheLinesFromTheirEndsAndShapesGoLeftToRight) {
  // A slanted line drawn from its lower right end, and a ring to its left.
  std::vector<std::pair<int, int>> line, ring;
  for (int i = 0; i < 30; ++i) line.emplace_back(90 - i, 10 + i / 2);
  for (int x = 20; x <= 30; ++x) ring.insert(ring.end(), {{x, 20}, {x, 30}});
  for (int y = 21; y <= 29; ++y) ring.insert(ring.end(), {{20, y}, {30, y}});
  std::vector<std::pair<int, int>> both = line;
  both.insert(both.end(), ring.begin(), ring.end());
  const Points points = trace_ink(image_of(both));
  ASSERT_EQ(points.size(), both.size());
  EXPECT_EQ(strokes(points), 2);
  // The ring first, from its top left corner, all the way round.
  EXPECT_EQ(points.front(), (std::pair{20, 21}));
  // Then the line, from its left end to its right end.
  EXPECT_EQ(points[ring.size()], (std::pair{61, 10 + 29 / 2 + 1}));
  EXPECT_EQ(points.back(), (std::pair{90, 11}));

  // A thick bar is swept up in one stroke, not left in slivers.
  std::vector<std::pair<int, int>> bar;
  for (int x = 10; x < 60; ++x) bar.insert(bar.end(), {{x, 40}, {x, 41}});
  EXPECT_EQ(strokes(trace_ink(image_of(bar))), 1);
}

TEST(VpadTrace, TheSampleLooksWrittenAndEveryFamilyDrawsAllOfIt) {
  const Points sample = sample_signature();
  ASSERT_GT(sample.size(), 300u);
  for (const auto& [x, y] : sample) {
    EXPECT_TRUE(x >= 4 && x <= 123 && y >= 4 && y <= 59) << x << "," << y;
  }
  // A few strokes of neighbouring points; never the same point twice running.
  EXPECT_LE(strokes(sample), 6);
  for (std::size_t i = 1; i < sample.size(); ++i) EXPECT_NE(sample[i], sample[i - 1]);
  // It covers the width of the pad like a name does.
  int left = 128, right = -1;
  for (const auto& p : sample) left = std::min(left, p.first), right = std::max(right, p.first);
  EXPECT_LT(left, 20);
  EXPECT_GT(right, 100);
}

// A bitmap file as image editors write it: `bits` per pixel, rows top-down
// or bottom-up, dark pixels where `image` has ink.
Bytes editor_bitmap(const PointImage& image, int bits, bool top_down) {
  const std::size_t stride = (128 * static_cast<std::size_t>(bits) + 31) / 32 * 4;
  const std::size_t colours = bits <= 8 ? std::size_t{1} << bits : 0;
  const std::size_t offset = 54 + 4 * colours;
  Bytes f(offset + stride * 64, 0);
  const auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  f[0] = 'B', f[1] = 'M';
  put32(2, static_cast<std::uint32_t>(f.size()));
  put32(10, static_cast<std::uint32_t>(offset));
  put32(14, 40);
  put32(18, 128);
  put32(22, top_down ? static_cast<std::uint32_t>(-64) : 64u);
  f[26] = 1;
  f[28] = static_cast<std::uint8_t>(bits);
  // Palette: entry 0 white, entry 1 dark red (ink), the rest light grey.
  for (std::size_t c = 0; c < colours; ++c) {
    const std::uint8_t v = c == 1 ? 0x20 : (c == 0 ? 0xFF : 0xC0);
    f[54 + 4 * c] = v, f[55 + 4 * c] = v, f[56 + 4 * c] = c == 1 ? 0x90 : v;
  }
  for (int y = 0; y < 64; ++y) {
    const std::size_t row = offset + static_cast<std::size_t>(top_down ? y : 63 - y) * stride;
    for (int x = 0; x < 128; ++x) {
      const bool dark = ink(image, x, y);
      if (bits >= 24) {
        const std::size_t at = row + static_cast<std::size_t>(x * bits / 8);
        f[at] = f[at + 1] = dark ? 0x30 : 0xE0;
        f[at + 2] = dark ? 0x60 : 0xF0;
      } else {
        const std::size_t bit = static_cast<std::size_t>(x * bits);
        const int index = dark ? 1 : ((x % 5 == 0 && bits > 1) ? 2 : 0);
        f[row + bit / 8] |= static_cast<std::uint8_t>(index << (8 - bits - static_cast<int>(bit % 8)));
      }
    }
  }
  return f;
}

TEST(VpadTrace, ReadsTheInkOfTheControlsBitmapsAndOfEditorsBitmaps) {
  const PointImage image = scribble(5);
  std::string error;
  const signpad::BitmapFile house = signpad::bitmap_file(image);
  EXPECT_EQ(read_ink(house, error), image) << error;
  for (const int bits : {1, 4, 8, 24, 32}) {
    for (const bool top_down : {false, true}) {
      const Bytes f = editor_bitmap(image, bits, top_down);
      EXPECT_EQ(read_ink(f, error), image) << bits << " bits, top-down " << top_down << ": " << error;
    }
  }
}

TEST(VpadTrace, BitmapsThatCannotBeReadAreRefusedWithTheReason) {
  const Bytes good = editor_bitmap(scribble(3), 8, false);
  const auto with = [&](std::size_t at, std::uint8_t v) {
    Bytes f = good;
    f[at] = v;
    return f;
  };
  const std::vector<std::pair<Bytes, std::string>> cases = {
      {Bytes(good.begin(), good.begin() + 40), "not a bitmap file"},
      {with(0, 'P'), "not a bitmap file"},
      {with(14, 12), "an unknown bitmap header"},
      {with(18, 64), "the bitmap is 64 x 64 pixels, not 128 x 64"},
      {with(22, 32), "the bitmap is 128 x 32 pixels, not 128 x 64"},
      {with(28, 16), "16 bits per pixel are not read"},
      {with(30, 1), "the bitmap is compressed"},
      {Bytes(good.begin(), good.end() - 1), "the pixel rows are cut short"},
      {with(10, 0xFF), "the pixel rows are cut short"},
      {with(13, 0x80), "the pixel rows are cut short"},
      // Two colours used, but some pixels name a third.
      {with(46, 2), "a pixel names colour 2, which the palette does not have"},
  };
  for (const auto& [file, why] : cases) {
    std::string error;
    EXPECT_FALSE(read_ink(file, error)) << why;
    EXPECT_EQ(error, why);
  }
  // A header so long that the palette after it would pass the file's end.
  Bytes long_header = good;
  const std::size_t header = good.size() - 14 - 8;
  for (int i = 0; i < 4; ++i) long_header[14 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(header >> (8 * i));
  std::string error;
  EXPECT_FALSE(read_ink(long_header, error));
  EXPECT_EQ(error, "the palette is cut short");
}

}  // namespace
}  // namespace pink::vpad
