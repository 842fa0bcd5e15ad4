#include "signpad/canvas.h"

#include <algorithm>
#include <array>

#include "platform/glyphs.h"

namespace pink::signpad {
namespace {

constexpr int kMaxSide = 4096;

std::array<std::uint32_t, 256> crc_table() {
  std::array<std::uint32_t, 256> t{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[n] = c;
  }
  return t;
}

std::uint32_t crc32(const std::uint8_t* p, std::size_t n) {
  static const auto table = crc_table();
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < n; ++i) c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void put_be32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
}

void chunk(std::vector<std::uint8_t>& out, const char type[5], const std::vector<std::uint8_t>& data) {
  put_be32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  put_be32(out, crc32(out.data() + start, out.size() - start));
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::vector<std::uint8_t> zlib_stored(const std::vector<std::uint8_t>& raw) {
  std::vector<std::uint8_t> z = {0x78, 0x01};
  std::size_t at = 0;
  do {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
    const bool last = at + n == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(static_cast<std::uint8_t>(n));
    z.push_back(static_cast<std::uint8_t>(n >> 8));
    z.push_back(static_cast<std::uint8_t>(~n));
    z.push_back(static_cast<std::uint8_t>(~n >> 8));
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
             raw.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
  } while (at < raw.size());
  std::uint32_t a = 1, b = 0;
  for (const std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  put_be32(z, b << 16 | a);
  return z;
}

}  // namespace

Canvas::Canvas(int width, int height, Rgb background) { reset(width, height, background); }

void Canvas::reset(int width, int height, Rgb background) {
  width_ = std::clamp(width, 1, kMaxSide);
  height_ = std::clamp(height, 1, kMaxSide);
  pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), background);
}

void Canvas::fill(Rgb colour) { std::fill(pixels_.begin(), pixels_.end(), colour); }

void Canvas::set_pixel(int x, int y, Rgb colour) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] = colour;
}

Rgb Canvas::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return kWhite;
  return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
}

void Canvas::rectangle(int left, int top, int right, int bottom, Rgb pen, Rgb fill) {
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      const bool edge = x == left || x == right - 1 || y == top || y == bottom - 1;
      set_pixel(x, y, edge ? pen : fill);
    }
  }
}

void Canvas::ellipse(int left, int top, int right, int bottom, Rgb colour) {
  // Pixel centres inside the ellipse inscribed in the box.
  const double cx = (left + right) / 2.0, cy = (top + bottom) / 2.0;
  const double rx = (right - left) / 2.0, ry = (bottom - top) / 2.0;
  if (rx <= 0 || ry <= 0) return;
  for (int y = std::max(top, 0); y < std::min(bottom, height_); ++y) {
    for (int x = std::max(left, 0); x < std::min(right, width_); ++x) {
      const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
      if (dx * dx + dy * dy <= 1.0) set_pixel(x, y, colour);
    }
  }
}

void Canvas::text(int x, int y, std::string_view cp949, int pixel_height, Rgb colour) {
  const glyphs::Mask mask = glyphs::render(cp949, pixel_height);
  for (int my = 0; my < mask.height; ++my) {
    for (int mx = 0; mx < mask.width; ++mx) {
      const unsigned a = mask.coverage[static_cast<std::size_t>(my * mask.width + mx)];
      if (a == 0) continue;
      const Rgb under = pixel(x + mx, y + my);
      auto mix = [a](std::uint8_t fg, std::uint8_t bg) {
        return static_cast<std::uint8_t>((fg * a + bg * (255 - a)) / 255);
      };
      set_pixel(x + mx, y + my, Rgb{mix(colour.r, under.r), mix(colour.g, under.g), mix(colour.b, under.b)});
    }
  }
}

std::vector<std::uint8_t> Canvas::png() const {
  std::vector<std::uint8_t> raw;
  raw.reserve(static_cast<std::size_t>(height_) * (1 + 3 * static_cast<std::size_t>(width_)));
  for (int y = 0; y < height_; ++y) {
    raw.push_back(0);  // no filter
    for (int x = 0; x < width_; ++x) {
      const Rgb p = pixel(x, y);
      raw.insert(raw.end(), {p.r, p.g, p.b});
    }
  }
  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  put_be32(header, static_cast<std::uint32_t>(width_));
  put_be32(header, static_cast<std::uint32_t>(height_));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
  chunk(out, "IHDR", header);
  chunk(out, "IDAT", zlib_stored(raw));
  chunk(out, "IEND", {});
  return out;
}

std::vector<std::uint32_t> Canvas::xrgb() const {
  std::vector<std::uint32_t> out;
  out.reserve(pixels_.size());
  for (const Rgb& p : pixels_) out.push_back(std::uint32_t{p.r} << 16 | std::uint32_t{p.g} << 8 | p.b);
  return out;
}

}  // namespace pink::signpad
