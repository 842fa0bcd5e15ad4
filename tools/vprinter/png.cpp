#include "tools/vprinter/png.h"

#include <zlib.h>

#include <array>
#include <string_view>

namespace pink::vprinter {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::uint8_t kBitDepth = 1;
constexpr std::uint8_t kGreyscale = 0;  // colour type
constexpr std::uint8_t kNoFilter = 0;   // filter type of each scanline

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// length, type, data, CRC of type and data
void chunk(std::vector<std::uint8_t>& out, std::string_view type,
           const std::vector<std::uint8_t>& data) {
  put32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  const uLong crc = ::crc32(::crc32(0L, Z_NULL, 0), out.data() + start,
                            static_cast<uInt>(out.size() - start));
  put32(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

std::vector<std::uint8_t> encode_png(const Bitmap& bitmap) {
  const std::size_t stride = bitmap.stride();
  if (bitmap.width == 0 || bitmap.height == 0 || bitmap.bits.size() != stride * bitmap.height) {
    return {};
  }

  // Scanlines: a filter byte, then the row. In 1-bit greyscale 0 is black,
  // so the dots are inverted; padding bits past the width stay white.
  std::vector<std::uint8_t> raw;
  raw.reserve((stride + 1) * bitmap.height);
  const unsigned tail = bitmap.width % 8;
  const auto last_mask = static_cast<std::uint8_t>(tail == 0 ? 0xFF : (0xFF00u >> tail) & 0xFF);
  for (std::uint32_t y = 0; y < bitmap.height; ++y) {
    raw.push_back(kNoFilter);
    for (std::size_t i = 0; i < stride; ++i) {
      std::uint8_t dots = bitmap.bits[y * stride + i];
      if (i + 1 == stride) dots &= last_mask;
      raw.push_back(static_cast<std::uint8_t>(~dots));
    }
  }

  uLongf packed_size = ::compressBound(static_cast<uLong>(raw.size()));
  std::vector<std::uint8_t> packed(packed_size);
  if (::compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()),
                  Z_BEST_COMPRESSION) != Z_OK) {
    return {};
  }
  packed.resize(packed_size);

  std::vector<std::uint8_t> header;
  put32(header, bitmap.width);
  put32(header, bitmap.height);
  header.insert(header.end(), {kBitDepth, kGreyscale, 0 /* deflate */, 0 /* adaptive filters */,
                               0 /* no interlace */});

  std::vector<std::uint8_t> out(kSignature.begin(), kSignature.end());
  chunk(out, "IHDR", header);
  chunk(out, "IDAT", packed);
  chunk(out, "IEND", {});
  return out;
}

}  // namespace pink::vprinter
