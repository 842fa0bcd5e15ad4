#include "rcptlib/bitimage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "tests/rcptlib/bmp_writer.h"

namespace pink::rcptlib {
namespace {

using testing::encode;
using testing::Layout;
using testing::Picture;
using testing::put32;
using testing::Rgb;

using Plane = std::vector<std::vector<int>>;  // [row][column]

int padded(int v) { return (v + 7) / 8 * 8; }

// Whether the converted bytes print a dot at printed row r, column x.
bool dot(const BitImage& image, int x, int r) {
  const int bands = image.header[3];
  return (image.raster[static_cast<std::size_t>(x * bands + r / 8)] & (0x80 >> (r % 8))) != 0;
}

BitImage converted(const std::vector<std::uint8_t>& file, std::int32_t justification = 1,
                   std::int32_t size_mode = 0) {
  BitImage image;
  EXPECT_EQ(convert(file, justification, size_mode, image), ConvertError::None);
  return image;
}

// ---------------------------------------------------------------------------
// An independent reading of the conversion rules, written plainly over 2-D
// int arrays, to check the library's bytes against.

int grey_of_colour(std::uint32_t rgb) {
  const double r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  return static_cast<int>(0.587 * g + 0.299 * r + 0.114 * b);
}

// The grey plane of W' x H' values in stored order (row 0 = bottom image row).
Plane grey_plane(const Picture& p) {
  const int wp = padded(p.width), hp = padded(p.height);
  Plane plane(hp, std::vector<int>(wp, 0));
  for (int y = 0; y < p.height; ++y) {
    const int row = p.height - 1 - y;
    auto index = [&](int x) { return static_cast<int>(p.at(x, row)); };
    for (int x = 0; x < p.width; ++x) {
      if (p.bpp == 8) plane[y][x] = index(x);  // the index itself, not its colour
      if (p.bpp == 4) plane[y][x] = index(x & ~1) * 16 + ((x | 1) < p.width ? index(x | 1) : 0);
      if (p.bpp == 24 || p.bpp == 32) plane[y][x] = grey_of_colour(p.at(x, row));
    }
  }
  return plane;
}

// Stucki error diffusion, pixel by pixel: 0 black, 255 white.
Plane dither(Plane work) {
  const int hp = static_cast<int>(work.size()), wp = static_cast<int>(work[0].size());
  struct Spread {
    int dx, dy, weight;
  };
  const Spread spreads[] = {{1, 0, 8}, {2, 0, 4},  {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4},
                            {2, 1, 2}, {-2, 2, 1}, {-1, 2, 2}, {0, 2, 4},  {1, 2, 2}, {2, 2, 1}};
  Plane out(hp, std::vector<int>(wp, 0));
  for (int y = 0; y < hp; ++y) {
    for (int x = 0; x < wp; ++x) {
      const int v = work[y][x];
      out[y][x] = v > 128 ? 255 : 0;
      const int e = v - out[y][x];
      for (const Spread& s : spreads) {
        const int nx = x + s.dx, ny = y + s.dy;
        if (nx < 0 || nx >= wp || ny >= hp) continue;
        work[ny][nx] = std::clamp(work[ny][nx] + e * s.weight / 42, 0, 255);
      }
    }
  }
  return out;
}

// Column bytes of a dithered plane for an image of W x H.
std::vector<std::uint8_t> raster_of(const Plane& out, int w, int h) {
  const int wp = padded(w), hp = padded(h), d = hp - h;
  std::vector<std::uint8_t> raster;
  for (int x = 0; x < wp; ++x) {
    for (int k = 0; k < hp / 8; ++k) {
      int byte = 0;
      for (int bit = 0; bit < 8; ++bit) {
        const int r = 8 * k + bit;
        if (r >= d && r < h && x < w && out[hp - 1 - r][x] == 0) byte |= 0x80 >> bit;
      }
      raster.push_back(static_cast<std::uint8_t>(byte));
    }
  }
  return raster;
}

std::vector<std::uint8_t> expected_dithered(const Picture& p) {
  return raster_of(dither(grey_plane(p)), p.width, p.height);
}

// ---------------------------------------------------------------------------

TEST(BitImage, HundredByTwentyConvertedShiftsByTheTopPadding) {
  // A colourful picture whose bottom-left corner is not white.
  Picture p(100, 20, 24);
  std::mt19937 rng(7);
  for (auto& px : p.pixels) px = rng() & 0xFFFFFF;
  p.at(0, 19) = 0x102030;
  const auto file = encode(p);
  ASSERT_TRUE(classify(file).converted);
  ASSERT_FALSE(classify(file).white_first);

  const BitImage image = converted(file);
  EXPECT_EQ(image.header, (std::array<std::uint8_t, 4>{0x1D, 0x2A, 0x0D, 0x03}));
  ASSERT_EQ(image.raster.size(), 312u);

  // The dithered picture, as rows counted from its top: picture row i is
  // stored row 19 - i of the W' x H' plane.
  const Plane out = dither(grey_plane(p));
  for (int x = 0; x < 104; ++x) {
    for (int r = 0; r < 24; ++r) {
      bool want = false;
      if (r >= 4 && r < 20 && x < 100) want = out[19 - (r - 4)][x] == 0;
      EXPECT_EQ(dot(image, x, r), want) << "x " << x << " r " << r;
    }
  }
  // The same picture at 32 bits per pixel.
  p.bpp = 32;
  EXPECT_EQ(converted(encode(p)).raster, image.raster);
}

TEST(BitImage, HundredByTwentyMonochromePrintsEveryRowFromTheTop) {
  // Drawn with a black-first palette, and again with a white-first one and
  // the indices swapped: the black pixels print either way.
  Picture black_first(100, 20, 1);
  black_first.palette = {Rgb{0, 0, 0}, Rgb{255, 255, 255}};
  Picture white_first = black_first;
  white_first.palette = {Rgb{255, 255, 255}, Rgb{0, 0, 0}};
  std::mt19937 rng(11);
  for (std::size_t i = 0; i < black_first.pixels.size(); ++i) {
    black_first.pixels[i] = rng() & 1;
    white_first.pixels[i] = 1 - black_first.pixels[i];
  }
  const auto bf = encode(black_first), wf = encode(white_first);
  ASSERT_FALSE(classify(bf).converted);
  EXPECT_FALSE(classify(bf).white_first);
  EXPECT_TRUE(classify(wf).white_first);

  const BitImage image = converted(bf);
  EXPECT_EQ(image.header, (std::array<std::uint8_t, 4>{0x1D, 0x2A, 0x0D, 0x03}));
  ASSERT_EQ(image.raster.size(), 312u);
  for (int x = 0; x < 104; ++x) {
    for (int r = 0; r < 24; ++r) {
      const bool want = r < 20 && x < 100 && black_first.at(x, r) == 0;
      EXPECT_EQ(dot(image, x, r), want) << "x " << x << " r " << r;
    }
  }
  EXPECT_EQ(converted(wf).raster, image.raster);
}

TEST(BitImage, WhiteBottomLeftTrueColourUsesTheMeanTestOtherwiseDithers) {
  // Mid greys: the mean test prints every one of them, dithering only some.
  Picture p(30, 13, 24);  // H' = 16, top padding 3
  std::mt19937 rng(5);
  for (auto& px : p.pixels) {
    const std::uint32_t g = 90 + rng() % 60;
    px = (g << 16) | ((g + 4) << 8) | (g - 4);
  }
  p.at(0, 12) = 0xFFFFFF;  // bottom-left: the first stored pixel
  const auto white = encode(p);
  ASSERT_TRUE(classify(white).converted);
  ASSERT_TRUE(classify(white).white_first);

  const BitImage mean = converted(white);
  for (int x = 0; x < 32; ++x) {
    for (int r = 0; r < 16; ++r) {
      bool want = false;
      if (r >= 3 && r < 13 && x < 30) {
        const std::uint32_t c = p.at(x, r);
        want = (((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF)) / 3 < 128;
      }
      EXPECT_EQ(dot(mean, x, r), want) << "x " << x << " r " << r;
    }
  }

  p.at(0, 12) = 0xFEFFFF;
  const auto other = encode(p);
  ASSERT_FALSE(classify(other).white_first);
  const BitImage dithered = converted(other);
  EXPECT_EQ(dithered.raster, expected_dithered(p));
  EXPECT_NE(dithered.raster, mean.raster);
}

TEST(BitImage, MeanTestReadsThreeBytesOfThePixelBits) {
  // A white-first 8-bit file: the mean test reads three index bytes from x
  // on, straight on into the next stored row; past the end of the pixel
  // bits nothing prints.
  Picture p(4, 8, 8);  // 4 bytes a row, H' = 8: every row prints
  p.palette = testing::grey_palette(256);
  p.palette[0] = Rgb{255, 255, 255};
  p.at(0, 0) = 255;  // the top row is the last stored row
  p.at(1, 0) = 255;
  const auto file = encode(p);
  ASSERT_TRUE(classify(file).converted);
  ASSERT_TRUE(classify(file).white_first);

  const BitImage image = converted(file);
  for (int r = 0; r < 8; ++r) {
    for (int x = 0; x < 4; ++x) {
      bool want = true;                    // index bytes 0, 0, 0
      if (r == 0) want = x == 1;           // 255 255 0, 255 0 0, then past the end
      if (r == 1 && x == 3) want = false;  // 0, then the top row's 255 255
      EXPECT_EQ(dot(image, x, r), want) << "x " << x << " r " << r;
    }
  }
}

TEST(BitImage, PaletteFilesTakeTheIndexAsGrey) {
  Picture indexed(45, 27, 8);
  indexed.palette = testing::grey_palette(256);
  std::mt19937 rng(9);
  for (auto& px : indexed.pixels) px = rng() & 0xFF;
  indexed.at(0, 26) = 40;

  // With a grey-scale palette the file prints like its grey picture: the
  // grey levels are the indices.
  const BitImage from_palette = converted(encode(indexed));
  EXPECT_EQ(from_palette.raster, expected_dithered(indexed));

  // Any other palette (first entry not white): the same indices, the same dots.
  Picture coloured = indexed;
  for (Rgb& c : coloured.palette) c = Rgb{c.red, static_cast<std::uint8_t>(255 - c.green), 0};
  EXPECT_EQ(converted(encode(coloured)).raster, from_palette.raster);

  // A 16-colour palette with pixel data at offset 118: converted by depth.
  Picture nibbles(23, 11, 4);
  nibbles.palette = testing::grey_palette(16);
  for (auto& px : nibbles.pixels) px = rng() & 0xF;
  const auto file4 = encode(nibbles);
  ASSERT_TRUE(classify(file4).converted);
  EXPECT_EQ(converted(file4).raster, expected_dithered(nibbles));
}

TEST(BitImage, SixteenBitFilesHaveNoGrey) {
  // Pixel data at 54: converted, every pixel grey 0, so all of rows d ... H-1
  // print, whatever the colours. Masks after the header move the pixel data:
  // the monochrome reading, with the same sizes.
  Picture p(20, 13, 16);
  std::mt19937 rng(7);
  for (auto& px : p.pixels) px = rng() & 0xFFFF;
  p.at(0, 12) = 0x1234;
  const BitImage image = converted(encode(p));
  EXPECT_EQ(image.header, (std::array<std::uint8_t, 4>{0x1D, 0x2A, 3, 2}));
  for (int x = 0; x < 24; ++x) {
    for (int r = 0; r < 16; ++r) EXPECT_EQ(dot(image, x, r), x < 20 && r >= 3 && r < 13) << x << " " << r;
  }
  EXPECT_EQ(converted(encode(p, Layout{.compression = 3})).header, image.header);
}

TEST(BitImage, DitheringMatchesThePlainReading) {
  // A 64 x 64 colour gradient.
  Picture gradient(64, 64, 24);
  for (int r = 0; r < 64; ++r) {
    for (int x = 0; x < 64; ++x) {
      const auto red = static_cast<std::uint32_t>(x * 4), green = static_cast<std::uint32_t>(r * 4),
                 blue = static_cast<std::uint32_t>((x + r) * 2);
      gradient.at(x, r) = (red << 16) | (green << 8) | blue;
    }
  }
  const BitImage image = converted(encode(gradient));
  EXPECT_EQ(image.header, (std::array<std::uint8_t, 4>{0x1D, 0x2A, 8, 8}));
  EXPECT_EQ(image.raster, expected_dithered(gradient));
}

// Random pictures of every dithered depth, from a few pixels up to the
// largest converted size, against the plain reading: not one byte differs.
TEST(BitImage, DitheringOfRandomPicturesMatchesThePlainReadingByteForByte) {
  std::mt19937 rng(20240613);
  struct Case {
    std::int32_t width, height;
    int bpp;
  };
  std::vector<Case> cases{{kMaxConvertedWidth, kMaxConvertedHeight, 24}, {1, 1, 24}, {3, 2, 32}};
  for (int i = 0; i < 24; ++i) {
    const int depths[] = {4, 8, 24, 32};
    cases.push_back({static_cast<std::int32_t>(1 + rng() % 120), static_cast<std::int32_t>(1 + rng() % 90),
                     depths[i % 4]});
  }
  for (const Case& c : cases) {
    Picture p(c.width, c.height, c.bpp);
    if (c.bpp <= 8) p.palette = testing::grey_palette(1 << c.bpp);
    // Smooth ramps with noise, the way photographs look to error diffusion;
    // some pixels at the extremes so that the clamping is exercised.
    for (std::int32_t row = 0; row < c.height; ++row) {
      for (std::int32_t x = 0; x < c.width; ++x) {
        const int noise = static_cast<int>(rng() % 64) - 32;
        auto level = [&](int base) { return static_cast<std::uint32_t>(std::clamp(base + noise, 0, 255)); };
        std::uint32_t& px = p.at(x, row);
        if (c.bpp <= 8) {
          px = level(x * 255 / c.width) >> (8 - c.bpp);
        } else {
          px = (level(x * 255 / c.width) << 16) | (level(row * 255 / c.height) << 8) |
               level((x + row) * 127 / (c.width + c.height));
        }
        if (rng() % 50 == 0) px = rng() % 2 ? 0 : (c.bpp <= 8 ? (1u << c.bpp) - 1 : 0xFFFFFF);
      }
    }
    // The bottom-left pixel is not white: the file takes the dithered path.
    p.at(0, c.height - 1) = c.bpp <= 8 ? 1 : 0x102030;
    const auto file = encode(p);
    ASSERT_FALSE(classify(file).white_first);
    EXPECT_EQ(converted(file).raster, expected_dithered(p))
        << c.width << " x " << c.height << " at " << c.bpp << " bits";
  }
}

TEST(BitImage, TrueColourGreyIsTheTruncatedDoubleExpression) {
  // The weights add up to just under 1 in doubles: many equal-channel greys
  // come out one lower.
  EXPECT_EQ(true_colour_grey(1, 1, 1), 0);
  EXPECT_EQ(true_colour_grey(128, 128, 128), 127);
  EXPECT_EQ(true_colour_grey(255, 255, 255), 255);
  EXPECT_EQ(true_colour_grey(0, 200, 100), 147);  // 117.4 + 29.9
}

TEST(BitImage, SizeModeAndJustificationCommands) {
  using Cmd = std::array<std::uint8_t, 3>;
  const std::pair<std::int32_t, std::uint8_t> modes[] = {
      {0, 0x30}, {4, 0x30}, {-1, 0x30}, {0x31, 0x30}, {1, 0x31}, {2, 0x32}, {3, 0x33}};
  for (const auto& [mode, m] : modes) EXPECT_EQ(print_command(mode), (Cmd{0x1D, 0x2F, m})) << mode;
  const std::pair<std::int32_t, std::uint8_t> justifications[] = {
      {1, 0x31}, {3, 0x31}, {-1, 0x31}, {0x30, 0x31}, {0, 0x30}, {2, 0x32}};
  for (const auto& [j, n] : justifications)
    EXPECT_EQ(justification_command(j), (Cmd{0x1B, 0x61, n})) << j;

  // And as they come out of a conversion.
  Picture p(8, 8, 1);
  p.palette = testing::grey_palette(2);
  const BitImage image = converted(encode(p), 2, 3);
  EXPECT_EQ(image.print_command, (Cmd{0x1D, 0x2F, 0x33}));
  EXPECT_EQ(image.justification, (Cmd{0x1B, 0x61, 0x32}));
}

TEST(BitImage, ClassificationReadsTheRawHeaderBytes) {
  Picture mono(16, 4, 1);
  mono.palette = testing::grey_palette(2);
  const auto file = encode(mono);  // pixel data at 62, 1 bit per pixel
  auto converted_with = [&](std::size_t at, std::uint8_t v) {
    auto f = file;
    f[at] = v;
    return classify(f).converted;
  };
  EXPECT_FALSE(classify(file).converted);
  EXPECT_TRUE(converted_with(10, 54));  // the offset alone makes it converted
  EXPECT_TRUE(converted_with(28, 8));   // so do 8 ...
  EXPECT_TRUE(converted_with(28, 4));   // ... and 4 bits per pixel
  EXPECT_FALSE(converted_with(28, 24));
  // A true-colour file with a longer header is not converted: its pixel data
  // does not start at 54.
  EXPECT_TRUE(classify(encode(Picture(8, 8, 24))).converted);
  EXPECT_FALSE(classify(encode(Picture(8, 8, 24), Layout{.header_size = 124})).converted);

  // Short files and files without "BM" are neither.
  std::vector<std::uint8_t> shortfile(57, 0xFF);
  shortfile[0] = 'B';
  shortfile[1] = 'M';
  put32(shortfile, 10, 54);
  EXPECT_FALSE(classify(shortfile).converted);
  EXPECT_FALSE(classify(shortfile).white_first);
  shortfile.push_back(0);
  EXPECT_TRUE(classify(shortfile).converted);
  EXPECT_TRUE(classify(shortfile).white_first);
  shortfile[1] = 'm';
  EXPECT_FALSE(classify(shortfile).converted);
  EXPECT_FALSE(classify(shortfile).white_first);
}

}  // namespace
}  // namespace pink::rcptlib
