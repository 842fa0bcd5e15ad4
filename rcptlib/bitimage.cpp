#include "rcptlib/bitimage.h"

#include <algorithm>
#include <bit>

#include "rcptlib/bmp.h"
#include "rcptlib/escpos.h"

namespace pink::rcptlib {
namespace {

// ---------------------------------------------------------------------------
// Classification: raw header bytes.

constexpr std::size_t kClassifiedBytes = 14 + 44;  // file header, then 44 bytes
constexpr std::uint32_t kConvertedPixelOffset = 54;
constexpr std::size_t kPixelOffsetAt = 10;
constexpr std::size_t kBitsPerPixelAt = 28;
constexpr std::size_t kFirstColourAt = 54;

// ---------------------------------------------------------------------------
// Grey value of a true-colour pixel, exactly as double arithmetic gives it.
//
// Numbers are held as integers in units of 2^-56: the smallest product,
// fl(0.114) * 1, needs no finer unit, and every sum stays below 2^64.
// Rounding to double keeps 53 significant bits, ties to even.

constexpr int kFixedShift = 56;

constexpr std::uint64_t round_to_double(std::uint64_t x) {
  const int bits = 64 - std::countl_zero(x);
  if (bits <= 53) return x;
  const int drop = bits - 53;
  const std::uint64_t unit = std::uint64_t{1} << drop;
  const std::uint64_t low = x & (unit - 1);
  const std::uint64_t half = unit >> 1;
  x -= low;
  if (low > half || (low == half && (x & unit) != 0)) x += unit;
  return x;
}

// fl(c * v) for v = 0 ... 255, in fixed units. c is a positive double below
// 1 and above 2^-5.
constexpr std::array<std::uint64_t, 256> product_table(double c) {
  const auto raw = std::bit_cast<std::uint64_t>(c);
  const int exponent = static_cast<int>((raw >> 52) & 0x7FF);
  const std::uint64_t mantissa = (raw & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  // c = mantissa * 2^(exponent - 1075); in fixed units the power becomes
  // exponent - 1075 + 56.
  const int shift = exponent - 1075 + kFixedShift;
  std::array<std::uint64_t, 256> table{};
  for (std::uint64_t v = 0; v < 256; ++v) {
    table[v] = round_to_double(mantissa * v) << shift;
  }
  return table;
}

constexpr auto kGreenProducts = product_table(0.587);
constexpr auto kRedProducts = product_table(0.299);
constexpr auto kBlueProducts = product_table(0.114);

constexpr std::uint8_t exact_grey(std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  const std::uint64_t sum = round_to_double(kGreenProducts[g] + kRedProducts[r]);
  return static_cast<std::uint8_t>(round_to_double(sum + kBlueProducts[b]) >> kFixedShift);
}

// The double expression is within 1e-11 of (587 G + 299 R + 114 B) / 1000,
// so the truncation equals the integer quotient unless that quotient is
// exact; only then does the rounding of the doubles decide.
inline std::uint8_t grey_of(std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  const unsigned q = 587u * g + 299u * r + 114u * b;
  const unsigned whole = q / 1000u;
  if (whole * 1000u != q) return static_cast<std::uint8_t>(whole);
  return exact_grey(b, g, r);
}

// ---------------------------------------------------------------------------
// Error diffusion (Stucki weights, sum 42).

constexpr int kThreshold = 128;
constexpr int kWhite = 255;
constexpr int kWeightSum = 42;

// A working value is always 0 ... 255, and its error (v - 255 when white,
// v when black) and each share of it follow from the value alone; the
// shares e * weight / 42, truncated toward zero, are looked up by value.
constexpr int error_of(int v) { return v > kThreshold ? v - kWhite : v; }

// The four shares of one working value, side by side: the walk along a row
// finds them all from one table address.
struct ValueShares {
  std::int16_t s1, s2, s4, s8;
};

constexpr std::array<ValueShares, 256> share_table() {
  std::array<ValueShares, 256> t{};
  for (int v = 0; v < 256; ++v) {
    auto share = [e = error_of(v)](int weight) { return static_cast<std::int16_t>(e * weight / kWeightSum); };
    t[static_cast<std::size_t>(v)] = {share(1), share(2), share(4), share(8)};
  }
  return t;
}

constexpr std::array<ValueShares, 256> kShares = share_table();

// Adds a share to a working value and clamps to 0 ... 255. Used on the
// chain along a row: a sum rarely leaves 0 ... 255, so one well-predicted
// test keeps the clamp off the chain's critical path.
inline int add_clamped_along(int value, int share) {
  int v = value + share;
  if (static_cast<unsigned>(v) > static_cast<unsigned>(kWhite)) [[unlikely]] {
    v = v < 0 ? 0 : kWhite;
  }
  return v;
}

// The same in 16-bit lanes, for the passes over whole rows, which vectorise.
inline std::int16_t add_clamped16(std::int16_t value, std::int16_t share) {
  const auto v = static_cast<std::int16_t>(value + share);
  return std::min<std::int16_t>(std::max<std::int16_t>(v, 0), kWhite);
}

// ---------------------------------------------------------------------------
// Sizes and pixel access.

struct Sizes {
  std::int32_t width = 0;          // W
  std::int32_t height = 0;         // H
  std::int32_t padded_width = 0;   // W'
  std::int32_t padded_height = 0;  // H'
  std::int32_t top_padding = 0;    // d = H' - H
  std::int32_t bands = 0;          // H' / 8
};

constexpr std::int64_t round_up8(std::int64_t v) { return (v + 7) / 8 * 8; }

// The widest padded row of a converted file.
constexpr std::size_t kMaxPlaneWidth = static_cast<std::size_t>(round_up8(kMaxConvertedWidth));

// A byte of a stored row; bytes beyond the row read as 0 (the sizes checked
// by the reader keep every pixel's bytes inside its row, so this is a guard).
inline std::uint8_t byte_at(std::span<const std::uint8_t> row, std::size_t i) {
  return i < row.size() ? row[i] : 0;
}

// Sets the dot of printed row r in column x.
inline void set_dot(std::span<std::uint8_t> raster, const Sizes& s, std::int32_t x,
                    std::int32_t r) {
  raster[static_cast<std::size_t>(x) * s.bands + static_cast<std::size_t>(r / 8)] |=
      static_cast<std::uint8_t>(0x80u >> (r % 8));
}

// Monochrome path: bit 7 - (x mod 8) of byte x * bpp / 8 of stored row
// H - 1 - r; a set bit prints on a white-first file, a clear bit otherwise.
void raster_monochrome(const Bitmap& bmp, const Sizes& s, bool white_first,
                       std::span<std::uint8_t> raster) {
  const std::size_t bpp = static_cast<std::size_t>(bmp.bits_per_pixel());
  for (std::int32_t r = 0; r < s.height; ++r) {
    const auto row = bmp.row(s.height - 1 - r);
    for (std::int32_t x = 0; x < s.width; ++x) {
      const std::uint8_t byte = byte_at(row, static_cast<std::size_t>(x) * bpp / 8);
      const bool set = (byte & (0x80u >> (x % 8))) != 0;
      if (set == white_first) set_dot(raster, s, x, r);
    }
  }
}

// Converted path, white-first file: the mean of the three bytes at x * bpp / 8
// of stored row H - 1 - r, below 128, prints. The three bytes are read from
// the pixel bits as one block, as a row's last pixel of a narrow depth runs
// into the next row; a pixel whose bytes would lie past the end of the bits
// prints nothing.
void raster_mean(const Bitmap& bmp, const Sizes& s, std::span<std::uint8_t> raster) {
  const auto bits = bmp.bits();
  const std::size_t bpp = static_cast<std::size_t>(bmp.bits_per_pixel());
  for (std::int32_t r = s.top_padding; r < s.height; ++r) {
    const std::size_t row_start = static_cast<std::size_t>(s.height - 1 - r) * bmp.stride();
    for (std::int32_t x = 0; x < s.width; ++x) {
      const std::size_t at = row_start + static_cast<std::size_t>(x) * bpp / 8;
      if (at + 3 > bits.size()) continue;
      const unsigned mean = (unsigned{bits[at]} + bits[at + 1] + bits[at + 2]) / 3;
      if (mean < 128) set_dot(raster, s, x, r);
    }
  }
}

// Grey values by depth (converted files): how many pixels a row of so many
// bytes holds, and the grey value of pixel x.
struct Grey8 {  // the palette index itself, not its colour
  static std::size_t pixels_in(std::size_t bytes) { return bytes; }
  static int at(const std::uint8_t* row, std::size_t x) { return row[x]; }
};
struct Grey4 {  // the whole byte holding the pixel, both nibbles
  static std::size_t pixels_in(std::size_t bytes) { return bytes * 2; }
  static int at(const std::uint8_t* row, std::size_t x) { return row[x / 2]; }
};
template <std::size_t Step>
struct GreyTrueColour {  // from the pixel's first three bytes
  static std::size_t pixels_in(std::size_t bytes) { return bytes / Step; }
  static int at(const std::uint8_t* row, std::size_t x) {
    const std::uint8_t* px = row + x * Step;
    return grey_of(px[0], px[1], px[2]);
  }
};
struct GreyNone {  // any other depth: grey 0
  static std::size_t pixels_in(std::size_t) { return 0; }
  static int at(const std::uint8_t*, std::size_t) { return 0; }
};

// The readable pixels of stored row y: its bytes and how many pixels below
// W lie wholly inside them (every one, for a bitmap the reader accepted).
// Beyond those, and for rows from H up, the grey value is 0.
struct GreyRow {
  const std::uint8_t* bytes = nullptr;
  std::size_t pixels = 0;
};

template <class Grey>
GreyRow grey_row(const Bitmap& bmp, const Sizes& s, std::int32_t y) {
  const auto row = bmp.row(y);  // empty from H up
  return {row.data(), std::min(Grey::pixels_in(row.size()), static_cast<std::size_t>(s.width))};
}

template <class Grey>
void fill_grey(const Bitmap& bmp, const Sizes& s, std::int32_t y, std::int16_t* out) {
  const GreyRow row = grey_row<Grey>(bmp, s, y);
  for (std::size_t x = 0; x < static_cast<std::size_t>(s.padded_width); ++x) {
    out[x] = static_cast<std::int16_t>(x < row.pixels ? Grey::at(row.bytes, x) : 0);
  }
}

// The working values of three rows (rows y, y + 1, y + 2 by y mod 3), with
// two spare zeros after column W' - 1 so that the walk along a row may read
// two pixels ahead.
constexpr std::size_t kEdge = 2;  // zero shares left of column 0 and right of W' - 1
using WorkRow = std::array<std::int16_t, kMaxPlaneWidth + 2>;
// The shares of the row being walked, column c at index c + kEdge, by weight.
using ShareRow = std::array<std::int16_t, kMaxPlaneWidth + 2 * kEdge>;
struct ShareRows {
  ShareRow s1, s2, s4, s8;
};

// Along row `cur`. Pixel x + 1 has had the share 4 of pixel x - 1 and takes
// the share 8 of pixel x; pixel x + 2 takes the share 4 of x. The two
// pending values stay in registers: the row is one long chain of dependent
// steps. The grey values of the row two ahead are made in the same loop,
// where they cost next to nothing, and the row's dots go into the band.
template <class Grey>
inline void walk_row(const std::int16_t* cur, std::int16_t* ahead, const GreyRow& ahead_row,
                     std::int32_t w, ShareRows& sh, std::uint8_t row_bit,
                     std::array<std::uint8_t, kMaxPlaneWidth>& band) {
  int value = cur[0];    // pixel x, all its shares in
  int pending = cur[1];  // pixel x + 1, awaiting pixel x's share (W' >= 8)
  for (std::int32_t x = 0; x < w; ++x) {
    const auto v = static_cast<std::size_t>(value);
    const auto k = static_cast<std::size_t>(x) + kEdge;
    const ValueShares& share = kShares[v];
    const std::int16_t s8 = share.s8, s4 = share.s4;
    sh.s1[k] = share.s1;
    sh.s2[k] = share.s2;
    sh.s4[k] = s4;
    sh.s8[k] = s8;
    band[static_cast<std::size_t>(x)] |= value <= kThreshold ? row_bit : std::uint8_t{0};
    // Beyond W' - 1 nothing is touched: the reads past the row fall on the
    // spare zeros, and what is made of them is never used.
    const int after = cur[x + 2];
    value = add_clamped_along(pending, s8);
    pending = add_clamped_along(after, s4);
    const auto column = static_cast<std::size_t>(x);
    ahead[x] =
        static_cast<std::int16_t>(column < ahead_row.pixels ? Grey::at(ahead_row.bytes, column) : 0);
  }
}

// Pixel X of a following row takes the shares of columns X - 2 ... X + 2 in
// that order, each with its weight: 2 4 8 4 2 on the next row, 1 2 4 2 1 on
// the row after it.
inline void spread(WorkRow& row, std::int32_t w, const ShareRow& a, const ShareRow& b,
                   const ShareRow& c) {
  for (std::int32_t x = 0; x < w; ++x) {
    const auto k = static_cast<std::size_t>(x);
    std::int16_t t = row[k];
    t = add_clamped16(t, a[k]);
    t = add_clamped16(t, b[k + 1]);
    t = add_clamped16(t, c[k + 2]);
    t = add_clamped16(t, b[k + 3]);
    t = add_clamped16(t, a[k + 4]);
    row[k] = t;
  }
}

// A band's dots as its byte in every column; the band starts empty again.
inline void store_band(const Sizes& s, std::int32_t y, std::array<std::uint8_t, kMaxPlaneWidth>& band,
                       std::span<std::uint8_t> raster) {
  const auto k = static_cast<std::size_t>(s.bands - 1 - y / 8);
  for (std::int32_t x = 0; x < s.width; ++x) {
    raster[static_cast<std::size_t>(x) * s.bands + k] = band[static_cast<std::size_t>(x)];
  }
  band.fill(0);
}

// Converted path, other files: the grey plane dithered in stored order
// (bottom row first, each row left to right); a black pixel at stored row y
// prints at row H' - 1 - y, for stored rows d ... H - 1 and columns below W.
//
// Only three rows of working values are live at a time. A row's errors
// spread onto the next two rows after the row is done, which gives every
// pixel its shares in the same order as spreading them pixel by pixel: a
// pixel of row y + 1 or y + 2 hears from row y only, from left to right,
// while row y is walked. Stored rows from H up feed no printed row and are
// not worked.
template <class Grey>
void raster_dithered(const Bitmap& bmp, const Sizes& s, std::span<std::uint8_t> raster) {
  std::array<WorkRow, 3> work{};
  ShareRows sh{};
  std::array<std::uint8_t, kMaxPlaneWidth> band{};
  auto row = [&work](std::int32_t y) -> WorkRow& { return work[static_cast<std::size_t>(y % 3)]; };

  const std::int32_t w = s.padded_width;
  for (std::int32_t y = 0; y < 2; ++y) fill_grey<Grey>(bmp, s, y, row(y).data());
  for (std::int32_t y = 0; y < s.height; ++y) {
    // Stored row y is bit y mod 8 of the band byte: printed row H' - 1 - y,
    // and H' is a multiple of 8.
    const std::uint8_t row_bit =
        y >= s.top_padding ? static_cast<std::uint8_t>(1u << (y % 8)) : std::uint8_t{0};
    // Row y + 2 takes the place of row y - 1, which is done.
    walk_row<Grey>(row(y).data(), row(y + 2).data(), grey_row<Grey>(bmp, s, y + 2), w, sh, row_bit,
                   band);
    if (y + 1 < s.height) spread(row(y + 1), w, sh.s2, sh.s4, sh.s8);
    if (y + 2 < s.height) spread(row(y + 2), w, sh.s1, sh.s2, sh.s4);
    if (y % 8 == 7 || y == s.height - 1) store_band(s, y, band, raster);
  }
}

void clear(BitImage& out) {
  out.header = {};
  out.raster.clear();
  out.print_command = {};
  out.justification = {};
}

}  // namespace

Classification classify(std::span<const std::uint8_t> file) {
  Classification c;
  if (file.size() < kClassifiedBytes || file[0] != 'B' || file[1] != 'M') return c;
  const std::uint32_t offset = static_cast<std::uint32_t>(file[kPixelOffsetAt]) |
                               (static_cast<std::uint32_t>(file[kPixelOffsetAt + 1]) << 8) |
                               (static_cast<std::uint32_t>(file[kPixelOffsetAt + 2]) << 16) |
                               (static_cast<std::uint32_t>(file[kPixelOffsetAt + 3]) << 24);
  const unsigned bpp = file[kBitsPerPixelAt] | (file[kBitsPerPixelAt + 1] << 8);
  c.converted = offset == kConvertedPixelOffset || bpp == 8 || bpp == 4;
  c.white_first = file[kFirstColourAt] == 0xFF && file[kFirstColourAt + 1] == 0xFF &&
                  file[kFirstColourAt + 2] == 0xFF;
  return c;
}

std::array<std::uint8_t, 3> print_command(std::int32_t size_mode) {
  return {escpos::kPrintBitImage[0], escpos::kPrintBitImage[1],
          escpos::param_byte(escpos::kBitImageSizes, size_mode, escpos::kBitImageNormalSize)};
}

std::array<std::uint8_t, 3> justification_command(std::int32_t justification) {
  return {escpos::kJustify[0], escpos::kJustify[1],
          escpos::param_byte(escpos::kJustifications, justification, escpos::kJustifyCentre)};
}

std::uint8_t true_colour_grey(std::uint8_t blue, std::uint8_t green, std::uint8_t red) noexcept {
  return grey_of(blue, green, red);
}

ConvertError convert(std::span<const std::uint8_t> file, std::int32_t justification,
                     std::int32_t size_mode, BitImage& out) {
  clear(out);
  const Classification kind = classify(file);
  Bitmap bmp;
  if (read_bmp(file, bmp) != BmpError::None) return ConvertError::NotABitmap;

  const std::int64_t padded_width = round_up8(bmp.width());
  const std::int64_t padded_height = round_up8(bmp.height());
  if (kind.converted && (bmp.width() > kMaxConvertedWidth || bmp.height() > kMaxConvertedHeight)) {
    return ConvertError::TooLarge;
  }
  if (padded_width / 8 > kMaxHeaderCount || padded_height / 8 > kMaxHeaderCount ||
      padded_width * padded_height / 8 > static_cast<std::int64_t>(kMaxRasterBytes)) {
    return ConvertError::TooLarge;
  }

  Sizes s;
  s.width = bmp.width();
  s.height = bmp.height();
  s.padded_width = static_cast<std::int32_t>(padded_width);
  s.padded_height = static_cast<std::int32_t>(padded_height);
  s.top_padding = s.padded_height - s.height;
  s.bands = s.padded_height / 8;

  out.raster.assign(static_cast<std::size_t>(s.padded_width) * static_cast<std::size_t>(s.bands),
                    0);
  if (!kind.converted) {
    raster_monochrome(bmp, s, kind.white_first, out.raster);
  } else if (kind.white_first) {
    raster_mean(bmp, s, out.raster);
  } else {
    switch (bmp.bits_per_pixel()) {
      case 8:
        raster_dithered<Grey8>(bmp, s, out.raster);
        break;
      case 4:
        raster_dithered<Grey4>(bmp, s, out.raster);
        break;
      case 24:
        raster_dithered<GreyTrueColour<3>>(bmp, s, out.raster);
        break;
      case 32:
        raster_dithered<GreyTrueColour<4>>(bmp, s, out.raster);
        break;
      default:
        raster_dithered<GreyNone>(bmp, s, out.raster);
        break;
    }
  }

  out.header = {escpos::kDefineBitImage[0], escpos::kDefineBitImage[1],
                static_cast<std::uint8_t>(s.padded_width / 8), static_cast<std::uint8_t>(s.bands)};
  out.print_command = print_command(size_mode);
  out.justification = justification_command(justification);
  return ConvertError::None;
}

}  // namespace pink::rcptlib
