// Test helper: writes Windows bitmap files in memory from a picture given
// top row first, in whichever header layout and row order a test asks for.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace pink::rcptlib::testing {

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
};

// A picture, rows counted from the top. A pixel is a palette index for
// depths up to 8, the raw 16-bit value at 16, and 0xRRGGBB at 24 and 32.
struct Picture {
  std::int32_t width = 0;
  std::int32_t height = 0;
  int bpp = 24;
  std::vector<std::uint32_t> pixels;
  std::vector<Rgb> palette;

  Picture(std::int32_t w, std::int32_t h, int depth)
      : width(w), height(h), bpp(depth), pixels(static_cast<std::size_t>(w) * h) {}
  std::uint32_t& at(std::int32_t x, std::int32_t row) {
    return pixels[static_cast<std::size_t>(row) * width + x];
  }
  std::uint32_t at(std::int32_t x, std::int32_t row) const {
    return pixels[static_cast<std::size_t>(row) * width + x];
  }
};

struct Layout {
  std::uint32_t header_size = 40;  // 12 (core), 40, 52, 56, 108, 124
  bool top_down = false;
  std::uint32_t compression = 0;  // written as given; bit fields add masks after a 40-byte header
  std::optional<std::uint32_t> colours_used;  // default: 0 for a full table, else its size
};

inline void put16(std::vector<std::uint8_t>& f, std::size_t at, std::uint32_t v) {
  f[at] = static_cast<std::uint8_t>(v);
  f[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

inline void put32(std::vector<std::uint8_t>& f, std::size_t at, std::uint32_t v) {
  put16(f, at, v & 0xFFFF);
  put16(f, at + 2, v >> 16);
}

inline std::vector<std::uint8_t> encode(const Picture& p, const Layout& layout = {}) {
  const bool core = layout.header_size == 12;
  const bool masks = layout.compression == 3 && layout.header_size == 40;
  const std::size_t entry = core ? 3 : 4;
  const std::size_t table = p.palette.size() * entry;
  const std::size_t headers = 14 + layout.header_size + (masks ? 12 : 0);
  const std::size_t offset = headers + table;
  const std::size_t stride = (static_cast<std::size_t>(p.width) * p.bpp + 31) / 32 * 4;
  const std::size_t data = stride * static_cast<std::size_t>(p.height);

  std::vector<std::uint8_t> f(offset + data, 0);
  f[0] = 'B';
  f[1] = 'M';
  put32(f, 2, static_cast<std::uint32_t>(f.size()));
  put32(f, 10, static_cast<std::uint32_t>(offset));
  put32(f, 14, layout.header_size);
  if (core) {
    put16(f, 18, static_cast<std::uint32_t>(p.width));
    put16(f, 20, static_cast<std::uint32_t>(p.height));
    put16(f, 22, 1);
    put16(f, 24, static_cast<std::uint32_t>(p.bpp));
  } else {
    put32(f, 18, static_cast<std::uint32_t>(p.width));
    put32(f, 22, static_cast<std::uint32_t>(layout.top_down ? -p.height : p.height));
    put16(f, 26, 1);
    put16(f, 28, static_cast<std::uint32_t>(p.bpp));
    put32(f, 30, layout.compression);
    put32(f, 34, static_cast<std::uint32_t>(data));
    const bool full = p.bpp <= 8 && p.palette.size() == (std::size_t{1} << p.bpp);
    put32(f, 46,
          layout.colours_used.value_or(full ? 0 : static_cast<std::uint32_t>(p.palette.size())));
    if (layout.compression == 3) {
      // The masks follow a 40-byte header and sit inside the longer ones:
      // at file offset 54 either way.
      const bool rgb565 = p.bpp == 16;
      put32(f, 54, rgb565 ? 0xF800 : 0xFF0000);
      put32(f, 58, rgb565 ? 0x07E0 : 0x00FF00);
      put32(f, 62, rgb565 ? 0x001F : 0x0000FF);
    }
  }
  for (std::size_t i = 0, at = headers; i < p.palette.size(); ++i, at += entry) {
    f[at] = p.palette[i].blue, f[at + 1] = p.palette[i].green, f[at + 2] = p.palette[i].red;
  }

  for (std::int32_t row = 0; row < p.height; ++row) {
    // Stored row 0 is the bottom row unless the file is top-down.
    const std::int32_t stored = layout.top_down ? row : p.height - 1 - row;
    std::uint8_t* out = f.data() + offset + static_cast<std::size_t>(stored) * stride;
    for (std::int32_t x = 0; x < p.width; ++x) {
      const std::uint32_t v = p.at(x, row);
      if (p.bpp <= 8) {
        const std::size_t bit = static_cast<std::size_t>(x) * p.bpp;
        const unsigned shift = 8 - p.bpp - bit % 8;
        out[bit / 8] |= static_cast<std::uint8_t>((v & ((1u << p.bpp) - 1)) << shift);
      } else {
        // Little-endian: the raw value at 16 bits; blue, green, red at 24 and 32.
        const std::size_t bytes = static_cast<std::size_t>(p.bpp) / 8;
        for (std::size_t b = 0; b < bytes && b < 3; ++b) out[x * bytes + b] = static_cast<std::uint8_t>(v >> (8 * b));
      }
    }
  }
  return f;
}

inline std::vector<Rgb> grey_palette(int entries) {
  std::vector<Rgb> pal(static_cast<std::size_t>(entries));
  for (int i = 0; i < entries; ++i) {
    const auto g = static_cast<std::uint8_t>(i * 255 / (entries - 1));
    pal[static_cast<std::size_t>(i)] = Rgb{g, g, g};
  }
  return pal;
}

// A picture of noise: a grey palette up to 8 bits, and pixels drawn from
// `next` (any source of 32-bit values), cut to what the depth holds.
template <class Next>
Picture noise(std::int32_t w, std::int32_t h, int bpp, Next next) {
  Picture p(w, h, bpp);
  if (bpp <= 8) p.palette = grey_palette(1 << bpp);
  const std::uint32_t mask = bpp <= 8 ? (1u << bpp) - 1 : 0xFFFFFFu;
  for (auto& px : p.pixels) px = static_cast<std::uint32_t>(next()) & mask;
  return p;
}

}  // namespace pink::rcptlib::testing
