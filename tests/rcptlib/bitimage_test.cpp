#include "rcptlib/bitimage.h"

#include <gtest/gtest.h>

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
    for (int x = 0; x < p.width; ++x) {
      switch (p.bpp) {
        case 8:
          plane[y][x] = static_cast<int>(p.at(x, row));
          break;
        case 4: {
          const int left = x & ~1;
          const int hi = static_cast<int>(p.at(left, row));
          const int lo = left + 1 < p.width ? static_cast<int>(p.at(left + 1, row)) : 0;
          plane[y][x] = hi * 16 + lo;
          break;
        }
        case 24:
        case 32:
          plane[y][x] = grey_of_colour(p.at(x, row));
          break;
        default:
          plane[y][x] = 0;
          break;
      }
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
      int e;
      if (v > 128) {
        out[y][x] = 255;
        e = v - 255;
      } else {
        out[y][x] = 0;
        e = v;
      }
      for (const Spread& s : spreads) {
        const int nx = x + s.dx, ny = y + s.dy;
        if (nx < 0 || nx >= wp || ny >= hp) continue;
        int n = work[ny][nx] + e * s.weight / 42;
        if (n < 0) n = 0;
        if (n > 255) n = 255;
        work[ny][nx] = n;
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

// A colourful picture whose corners are not white.
Picture noise_picture(int w, int h, unsigned seed) {
  Picture p(w, h, 24);
  std::mt19937 rng(seed);
  for (auto& px : p.pixels) px = rng() & 0xFFFFFF;
  p.at(0, h - 1) = 0x102030;
  p.at(0, 0) = 0x302010;
  return p;
}

// ---------------------------------------------------------------------------

TEST(BitImage, HundredByTwentyConvertedShiftsByTheTopPadding) {
  Picture p = noise_picture(100, 20, 7);
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
  EXPECT_EQ(image.raster, expected_dithered(p));
}

TEST(BitImage, HundredByTwentyMonochromePrintsEveryRowFromTheTop) {
  Picture p(100, 20, 1);
  p.palette = {Rgb{0, 0, 0}, Rgb{255, 255, 255}};
  std::mt19937 rng(11);
  for (auto& px : p.pixels) px = rng() & 1;
  const auto file = encode(p);
  ASSERT_FALSE(classify(file).converted);

  const BitImage image = converted(file);
  EXPECT_EQ(image.header, (std::array<std::uint8_t, 4>{0x1D, 0x2A, 0x0D, 0x03}));
  ASSERT_EQ(image.raster.size(), 312u);
  for (int x = 0; x < 104; ++x) {
    for (int r = 0; r < 24; ++r) {
      // Black-first palette: a clear bit (index 0) prints.
      const bool want = r < 20 && x < 100 && p.at(x, r) == 0;
      EXPECT_EQ(dot(image, x, r), want) << "x " << x << " r " << r;
    }
  }
}

TEST(BitImage, MonochromeFirstPaletteEntryChoosesWhichBitsPrint) {
  // The same picture drawn with a black-first and a white-first palette: the
  // black pixels print either way.
  Picture black_first(37, 9, 1);
  black_first.palette = {Rgb{0, 0, 0}, Rgb{255, 255, 255}};
  Picture white_first = black_first;
  white_first.palette = {Rgb{255, 255, 255}, Rgb{0, 0, 0}};
  std::mt19937 rng(3);
  for (std::size_t i = 0; i < black_first.pixels.size(); ++i) {
    const bool black = rng() % 3 == 0;
    black_first.pixels[i] = black ? 0 : 1;
    white_first.pixels[i] = black ? 1 : 0;
  }
  const auto wf = encode(white_first), bf = encode(black_first);
  EXPECT_TRUE(classify(wf).white_first);
  EXPECT_FALSE(classify(bf).white_first);

  const BitImage a = converted(wf), b = converted(bf);
  EXPECT_EQ(a.raster, b.raster);
  int dots = 0;
  for (int x = 0; x < 40; ++x) {
    for (int r = 0; r < 16; ++r) {
      const bool want = r < 9 && x < 37 && black_first.at(x, r) == 0;
      EXPECT_EQ(dot(a, x, r), want);
      dots += want;
    }
  }
  EXPECT_GT(dots, 50);
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
  for (std::size_t i = 0; i < coloured.palette.size(); ++i) {
    coloured.palette[i] = Rgb{static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i * 7),
                              static_cast<std::uint8_t>(i * 13)};
  }
  coloured.palette[0] = Rgb{200, 10, 30};
  EXPECT_EQ(converted(encode(coloured)).raster, from_palette.raster);

  // A 16-colour palette with pixel data at offset 118: converted by depth.
  Picture nibbles(23, 11, 4);
  nibbles.palette = testing::grey_palette(16);
  for (auto& px : nibbles.pixels) px = rng() & 0xF;
  const auto file4 = encode(nibbles);
  ASSERT_TRUE(classify(file4).converted);
  EXPECT_EQ(converted(file4).raster, expected_dithered(nibbles));
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

  // Padding on both sides, and the same picture at 32 bits per pixel.
  const Picture noise = noise_picture(61, 45, 21);
  EXPECT_EQ(converted(encode(noise)).raster, expected_dithered(noise));
  Picture wide = noise;
  wide.bpp = 32;
  EXPECT_EQ(converted(encode(wide)).raster, expected_dithered(noise));

  // The largest converted picture.
  const Picture big = noise_picture(500, 650, 33);
  const BitImage largest = converted(encode(big));
  EXPECT_EQ(largest.header, (std::array<std::uint8_t, 4>{0x1D, 0x2A, 63, 82}));
  EXPECT_EQ(largest.raster, expected_dithered(big));
}

TEST(BitImage, TrueColourGreyIsTheTruncatedDoubleExpression) {
  // The weights add up to just under 1 in doubles: many equal-channel greys
  // come out one lower.
  EXPECT_EQ(true_colour_grey(1, 1, 1), 0);
  EXPECT_EQ(true_colour_grey(128, 128, 128), 127);
  EXPECT_EQ(true_colour_grey(255, 255, 255), 255);
  EXPECT_EQ(true_colour_grey(0, 0, 0), 0);
  for (int b : {0, 1, 77, 128, 254, 255}) {
    for (int g = 0; g < 256; ++g) {
      for (int r = 0; r < 256; ++r) {
        const double want = 0.587 * g + 0.299 * r + 0.114 * b;
        ASSERT_EQ(true_colour_grey(static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g),
                                   static_cast<std::uint8_t>(r)),
                  static_cast<int>(want))
            << b << " " << g << " " << r;
      }
    }
  }
}

TEST(BitImage, SizeModeAndJustificationCommands) {
  using Cmd = std::array<std::uint8_t, 3>;
  for (std::int32_t mode : {0, 4, -1, 0x31, 1000})
    EXPECT_EQ(print_command(mode), (Cmd{0x1D, 0x2F, 0x30}));
  EXPECT_EQ(print_command(1), (Cmd{0x1D, 0x2F, 0x31}));
  EXPECT_EQ(print_command(2), (Cmd{0x1D, 0x2F, 0x32}));
  EXPECT_EQ(print_command(3), (Cmd{0x1D, 0x2F, 0x33}));

  for (std::int32_t j : {1, 3, -1, 0x30})
    EXPECT_EQ(justification_command(j), (Cmd{0x1B, 0x61, 0x31}));
  EXPECT_EQ(justification_command(0), (Cmd{0x1B, 0x61, 0x30}));
  EXPECT_EQ(justification_command(2), (Cmd{0x1B, 0x61, 0x32}));

  // And as they come out of a conversion.
  Picture p(8, 8, 1);
  p.palette = testing::grey_palette(2);
  const auto file = encode(p);
  BitImage image;
  ASSERT_EQ(convert(file, 2, 3, image), ConvertError::None);
  EXPECT_EQ(image.print_command, (Cmd{0x1D, 0x2F, 0x33}));
  EXPECT_EQ(image.justification, (Cmd{0x1B, 0x61, 0x32}));
  ASSERT_EQ(convert(file, -7, -7, image), ConvertError::None);
  EXPECT_EQ(image.print_command, (Cmd{0x1D, 0x2F, 0x30}));
  EXPECT_EQ(image.justification, (Cmd{0x1B, 0x61, 0x31}));
}

TEST(BitImage, ClassificationReadsTheRawHeaderBytes) {
  Picture mono(16, 4, 1);
  mono.palette = testing::grey_palette(2);
  auto file = encode(mono);  // pixel data at 62, 1 bit per pixel
  EXPECT_FALSE(classify(file).converted);
  file[10] = 54;  // the offset alone makes it converted
  EXPECT_TRUE(classify(file).converted);
  file[10] = 62;
  file[28] = 8;  // so do 8 ...
  EXPECT_TRUE(classify(file).converted);
  file[28] = 4;  // ... and 4 bits per pixel
  EXPECT_TRUE(classify(file).converted);
  file[28] = 24;
  EXPECT_FALSE(classify(file).converted);

  // A true-colour file with a longer header is not converted: its pixel data
  // does not start at 54.
  Picture colour(8, 8, 24);
  EXPECT_TRUE(classify(encode(colour)).converted);
  EXPECT_FALSE(classify(encode(colour, Layout{.header_size = 124})).converted);

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

TEST(BitImage, OutputReusedAcrossCallsAndEmptiedOnFailure) {
  BitImage image;
  ASSERT_EQ(convert(encode(noise_picture(40, 40, 1)), 0, 1, image), ConvertError::None);
  EXPECT_EQ(image.raster.size(), 200u);
  const std::vector<std::uint8_t> junk{'B', 'M', 1, 2, 3};
  EXPECT_EQ(convert(junk, 0, 1, image), ConvertError::NotABitmap);
  EXPECT_TRUE(image.raster.empty());
  EXPECT_EQ(image.header, (std::array<std::uint8_t, 4>{}));
  EXPECT_EQ(image.print_command, (std::array<std::uint8_t, 3>{}));
  EXPECT_EQ(image.justification, (std::array<std::uint8_t, 3>{}));
}

}  // namespace
}  // namespace pink::rcptlib
