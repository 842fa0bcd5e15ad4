#include "rcptlib/bmp.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace pink::rcptlib {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kCoreHeaderSize = 12;
constexpr std::size_t kInfoHeaderSize = 40;
// The information header and its later versions (with masks, with colour
// space, with profile).
constexpr std::array<std::uint32_t, 5> kInfoHeaderSizes{40, 52, 56, 108, 124};

constexpr std::uint32_t kCompressionNone = 0;
constexpr std::uint32_t kCompressionBitFields = 3;
constexpr std::size_t kBitFieldMasksSize = 12;

std::uint16_t u16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::int32_t i32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::int32_t>(u32(b, at));
}

bool depth_supported(std::uint32_t bpp, bool core) {
  switch (bpp) {
    case 1:
    case 4:
    case 8:
    case 24:
      return true;
    case 16:
    case 32:
      return !core;
    default:
      return false;
  }
}

// What the headers say, before the pixel data is looked at.
struct Header {
  std::size_t header_size = 0;
  bool core = false;
  std::int64_t width = 0;
  std::int64_t height = 0;  // signed: negative is top-down
  std::uint32_t bpp = 0;
  std::uint32_t compression = kCompressionNone;
  std::uint32_t colours_used = 0;
  std::size_t palette_start = 0;  // first byte after the headers and masks
  std::uint32_t pixel_offset = 0;
};

BmpError read_header(std::span<const std::uint8_t> file, Header& h) {
  if (file.size() < 2 || file[0] != 'B' || file[1] != 'M') return BmpError::NotBmp;
  if (file.size() < kFileHeaderSize + 4) return BmpError::TruncatedHeader;

  h.pixel_offset = u32(file, 10);
  const std::uint32_t size = u32(file, kFileHeaderSize);
  h.core = size == kCoreHeaderSize;
  if (!h.core &&
      std::find(kInfoHeaderSizes.begin(), kInfoHeaderSizes.end(), size) == kInfoHeaderSizes.end()) {
    return BmpError::UnsupportedHeader;
  }
  h.header_size = size;
  if (file.size() < kFileHeaderSize + h.header_size) return BmpError::TruncatedHeader;

  const std::size_t at = kFileHeaderSize;
  if (h.core) {
    h.width = u16(file, at + 4);
    h.height = u16(file, at + 6);
    h.bpp = u16(file, at + 10);
  } else {
    h.width = i32(file, at + 4);
    h.height = i32(file, at + 8);
    h.bpp = u16(file, at + 14);
    h.compression = u32(file, at + 16);
    h.colours_used = u32(file, at + 32);
  }

  if (h.width <= 0) return BmpError::BadWidth;
  // The most negative height has no positive counterpart in 32 bits.
  if (h.height == 0 || h.height == std::numeric_limits<std::int32_t>::min()) {
    return BmpError::BadHeight;
  }
  if (!depth_supported(h.bpp, h.core)) return BmpError::UnsupportedDepth;

  h.palette_start = kFileHeaderSize + h.header_size;
  if (h.compression == kCompressionBitFields) {
    if (h.bpp != 16 && h.bpp != 32) return BmpError::UnsupportedCompression;
    // The plain information header keeps its three masks after it; the
    // longer versions hold them inside.
    if (h.header_size == kInfoHeaderSize) {
      h.palette_start += kBitFieldMasksSize;
      if (file.size() < h.palette_start) return BmpError::TruncatedHeader;
    }
  } else if (h.compression != kCompressionNone) {
    return BmpError::UnsupportedCompression;
  }
  return BmpError::None;
}

}  // namespace

const char* to_string(BmpError error) noexcept {
  switch (error) {
    case BmpError::None:
      return "none";
    case BmpError::NotBmp:
      return "not a bitmap file";
    case BmpError::TruncatedHeader:
      return "truncated header";
    case BmpError::UnsupportedHeader:
      return "unsupported header";
    case BmpError::BadWidth:
      return "bad width";
    case BmpError::BadHeight:
      return "bad height";
    case BmpError::UnsupportedDepth:
      return "unsupported depth";
    case BmpError::UnsupportedCompression:
      return "unsupported compression";
    case BmpError::PaletteOutOfRange:
      return "palette out of range";
    case BmpError::PixelOffsetOutOfRange:
      return "pixel offset out of range";
    case BmpError::PixelDataShort:
      return "pixel data short";
    case BmpError::TooLarge:
      return "too large";
  }
  return "unknown";
}

std::span<const std::uint8_t> Bitmap::bits() const noexcept {
  if (was_top_down_) return flipped_bits_;
  return file_bits_;
}

std::span<const std::uint8_t> Bitmap::row(std::int32_t y) const noexcept {
  if (y < 0 || y >= height_) return {};
  return bits().subspan(static_cast<std::size_t>(y) * stride_, stride_);
}

BmpError read_bmp(std::span<const std::uint8_t> file, Bitmap& out) {
  out = Bitmap{};

  Header h;
  if (const BmpError e = read_header(file, h); e != BmpError::None) return e;
  if (file.size() > kMaxFileBytes) return BmpError::TooLarge;

  // Sizes. The width is at most 2^31 - 1 and the depth at most 32, so the
  // row arithmetic fits in 64 bits; the limit keeps the product sane.
  const std::uint64_t row_bits = static_cast<std::uint64_t>(h.width) * h.bpp;
  const std::uint64_t bytes_per_row = (row_bits + 15) / 16 * 2;
  const std::uint64_t stride = (bytes_per_row + 3) / 4 * 4;
  const std::uint64_t height = static_cast<std::uint64_t>(h.height < 0 ? -h.height : h.height);
  if (stride > kMaxPixelBytes || stride * height > kMaxPixelBytes) return BmpError::TooLarge;
  const std::uint64_t pixel_bytes = stride * height;

  // Colour table: the count the header gives (0 meaning all 2^bpp colours),
  // never more than the depth can index. Depths above 8 bits index no
  // table; any optimisation table such files carry is not kept.
  std::size_t colours = 0;
  if (h.bpp <= 8) {
    const std::uint32_t most = 1u << h.bpp;
    colours = h.colours_used == 0 ? most : std::min(h.colours_used, most);
  }
  const std::size_t entry_size = h.core ? 3 : 4;
  if (h.palette_start > file.size() || colours > (file.size() - h.palette_start) / entry_size) {
    return BmpError::PaletteOutOfRange;
  }

  // Pixel data: after the headers, inside the file, stride * height bytes.
  if (h.pixel_offset < h.palette_start || h.pixel_offset > file.size()) {
    return BmpError::PixelOffsetOutOfRange;
  }
  if (file.size() - h.pixel_offset < pixel_bytes) return BmpError::PixelDataShort;

  // A table that runs into the pixel data holds only the entries before it.
  colours = std::min(colours, (h.pixel_offset - h.palette_start) / entry_size);

  Bitmap bmp;
  bmp.width_ = static_cast<std::int32_t>(h.width);
  bmp.height_ = static_cast<std::int32_t>(height);
  bmp.bits_per_pixel_ = static_cast<std::int32_t>(h.bpp);
  bmp.bytes_per_row_ = static_cast<std::int32_t>(bytes_per_row);
  bmp.stride_ = static_cast<std::size_t>(stride);
  bmp.palette_size_ = colours;
  for (std::size_t i = 0; i < colours; ++i) {
    const std::size_t at = h.palette_start + i * entry_size;
    bmp.palette_[i] = PaletteColour{file[at], file[at + 1], file[at + 2]};
  }

  const auto pixels = file.subspan(h.pixel_offset, static_cast<std::size_t>(pixel_bytes));
  if (h.height < 0) {
    // Top-down rows are put in bottom-up order, so that stored row 0 is the
    // bottom of the image whichever way the file was written.
    bmp.was_top_down_ = true;
    bmp.flipped_bits_.resize(pixels.size());
    const std::size_t rows = static_cast<std::size_t>(height);
    for (std::size_t y = 0; y < rows; ++y) {
      std::memcpy(bmp.flipped_bits_.data() + y * bmp.stride_,
                  pixels.data() + (rows - 1 - y) * bmp.stride_, bmp.stride_);
    }
  } else {
    bmp.file_bits_ = pixels;
  }

  out = std::move(bmp);
  return BmpError::None;
}

}  // namespace pink::rcptlib
