#include "tools/vpad/trace.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <numbers>

namespace pink::vpad {
namespace {

using signpad::kPadHeight;
using signpad::kPadWidth;
using signpad::PointImage;

// --- reading a bitmap file ---------------------------------------------------

constexpr std::size_t kFileHeader = 14;
constexpr std::size_t kInfoHeader = 40;

std::uint32_t u16(std::span<const std::uint8_t> f, std::size_t at) {
  return static_cast<std::uint32_t>(f[at] | f[at + 1] << 8);
}
std::uint32_t u32(std::span<const std::uint8_t> f, std::size_t at) {
  return u16(f, at) | u16(f, at + 2) << 16;
}

struct Layout {
  std::uint32_t bits = 0;
  bool top_down = false;
  std::size_t pixels = 0;   // offset of the first stored row
  std::size_t stride = 0;   // bytes per stored row
  std::size_t palette = 0;  // offset of the palette
  std::size_t colours = 0;  // palette entries
};

// The file's layout, or the reason it cannot be read.
std::string layout_of(std::span<const std::uint8_t> f, Layout& l) {
  if (f.size() < kFileHeader + kInfoHeader || f[0] != 'B' || f[1] != 'M') return "not a bitmap file";
  const std::size_t header = u32(f, 14);
  if (header < kInfoHeader || header > f.size() - kFileHeader) return "an unknown bitmap header";
  const auto width = static_cast<std::int32_t>(u32(f, 18));
  const auto height = static_cast<std::int32_t>(u32(f, 22));
  if (width != kPadWidth || (height != kPadHeight && height != -kPadHeight)) {
    return "the bitmap is " + std::to_string(width) + " x " + std::to_string(std::abs(height)) +
           " pixels, not 128 x 64";
  }
  l.bits = u16(f, 28);
  if (l.bits != 1 && l.bits != 4 && l.bits != 8 && l.bits != 24 && l.bits != 32) {
    return std::to_string(l.bits) + " bits per pixel are not read";
  }
  if (u32(f, 30) != 0) return "the bitmap is compressed";
  l.top_down = height < 0;
  l.stride = (kPadWidth * l.bits + 31) / 32 * 4;
  l.pixels = u32(f, 10);
  if (l.pixels > f.size() || f.size() - l.pixels < l.stride * kPadHeight) return "the pixel rows are cut short";
  if (l.bits <= 8) {
    const std::size_t most = std::size_t{1} << l.bits;
    const std::size_t used = u32(f, 46);
    l.colours = used == 0 ? most : std::min(used, most);
    l.palette = kFileHeader + header;
    if (l.palette + 4 * l.colours > f.size()) return "the palette is cut short";
  }
  return "";
}

bool dark(std::uint32_t b, std::uint32_t g, std::uint32_t r) { return 299 * r + 587 * g + 114 * b < 128000; }

// Whether the pixel at column x of the stored row at `row` is ink; false
// with `error` set for a colour the palette does not have.
bool ink_at(std::span<const std::uint8_t> f, const Layout& l, std::size_t row, int x, std::string& error) {
  const auto col = static_cast<std::size_t>(x);
  if (l.bits >= 24) {
    const std::size_t at = row + col * (l.bits / 8);
    return dark(f[at], f[at + 1], f[at + 2]);
  }
  const std::size_t bit = col * l.bits;
  const std::uint32_t index = (f[row + bit / 8] >> (8 - l.bits - bit % 8)) & ((1u << l.bits) - 1);
  if (index >= l.colours) {
    error = "a pixel names colour " + std::to_string(index) + ", which the palette does not have";
    return false;
  }
  const std::size_t at = l.palette + 4 * index;
  return dark(f[at], f[at + 1], f[at + 2]);
}

void set(PointImage& image, int x, int y) {
  const auto bit = static_cast<std::size_t>(y * kPadWidth + x);
  image[bit / 8] = static_cast<std::uint8_t>(image[bit / 8] | (0x80u >> (bit % 8)));
}

}  // namespace

std::optional<PointImage> read_ink(std::span<const std::uint8_t> file, std::string& error) {
  Layout l;
  error = layout_of(file, l);
  if (!error.empty()) return std::nullopt;
  PointImage ink{};
  for (int y = 0; y < kPadHeight; ++y) {
    const std::size_t stored = static_cast<std::size_t>(l.top_down ? y : kPadHeight - 1 - y);
    const std::size_t row = l.pixels + stored * l.stride;
    for (int x = 0; x < kPadWidth; ++x) {
      if (ink_at(file, l, row, x, error)) set(ink, x, y);
      if (!error.empty()) return std::nullopt;
    }
  }
  return ink;
}

PointImage draw_points(std::span<const std::pair<int, int>> points, int top) {
  PointImage image{};
  for (const auto& [x, y] : points) {
    if (x >= 0 && x < kPadWidth && y - top >= 0 && y - top < kPadHeight) set(image, x, y - top);
  }
  return image;
}

// --- tracing -------------------------------------------------------------------

namespace {

// The eight neighbours in turning order, so that the distance between two
// indexes on the ring is how sharply a stroke turns.
constexpr std::array<std::pair<int, int>, 8> kRing{
    {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}}};

class Tracer {
 public:
  Tracer(const PointImage& ink, int top) : top_(top) {
    for (int y = 0; y < kPadHeight; ++y) {
      for (int x = 0; x < kPadWidth; ++x) {
        const auto bit = static_cast<std::size_t>(y * kPadWidth + x);
        left_[index(x, y)] = (ink[bit / 8] >> (7 - bit % 8)) & 1;
      }
    }
  }

  Points run() {
    Points out;
    for (const auto& shape : shapes()) trace_shape(shape, out);
    return out;
  }

 private:
  using Pixel = std::pair<int, int>;

  static std::size_t index(int x, int y) { return static_cast<std::size_t>(y * kPadWidth + x); }
  bool waiting(int x, int y) const {
    return x >= 0 && x < kPadWidth && y >= 0 && y < kPadHeight && left_[index(x, y)] != 0;
  }
  int waiting_neighbours(const Pixel& p) const {
    int n = 0;
    for (const auto& [dx, dy] : kRing) n += waiting(p.first + dx, p.second + dy) ? 1 : 0;
    return n;
  }

  // The connected shapes (pixels touching at an edge or a corner), the
  // leftmost first (the topmost of two that start in the same column).
  std::vector<std::vector<Pixel>> shapes() const {
    std::vector<std::uint8_t> seen(left_.size(), 0);
    std::vector<std::vector<Pixel>> all;
    for (int x = 0; x < kPadWidth; ++x) {
      for (int y = 0; y < kPadHeight; ++y) {
        if (!waiting(x, y) || seen[index(x, y)]) continue;
        std::vector<Pixel> shape{{x, y}};
        seen[index(x, y)] = 1;
        for (std::size_t i = 0; i < shape.size(); ++i) {
          for (const auto& [dx, dy] : kRing) {
            const int nx = shape[i].first + dx, ny = shape[i].second + dy;
            if (waiting(nx, ny) && !seen[index(nx, ny)]) {
              seen[index(nx, ny)] = 1;
              shape.emplace_back(nx, ny);
            }
          }
        }
        all.push_back(std::move(shape));
      }
    }
    return all;
  }

  // Where the next stroke of the shape starts: a line's end (a pixel with at
  // most one waiting neighbour) when there is one, else any waiting pixel;
  // the nearest to the pen, or the leftmost for the first stroke.
  std::optional<Pixel> next_start(const std::vector<Pixel>& shape, const std::optional<Pixel>& pen) const {
    std::optional<Pixel> best;
    long best_key = std::numeric_limits<long>::max();
    bool best_end = false;
    for (const Pixel& p : shape) {
      if (!waiting(p.first, p.second)) continue;
      const bool end = waiting_neighbours(p) <= 1;
      const long dx = pen ? p.first - pen->first : p.first;
      const long dy = pen ? p.second - pen->second : 0;
      const long key = pen ? dx * dx + dy * dy : dx * kPadHeight + p.second;
      if (!best || (end && !best_end) || (end == best_end && key < best_key)) {
        best = p;
        best_key = key;
        best_end = end;
      }
    }
    return best;
  }

  // The next pixel of a stroke: the waiting neighbour with the fewest
  // waiting neighbours of its own (pixels beside a thick line are taken on
  // the way instead of being left behind as strokes of their own), then the
  // one that turns least from the stroke's direction, then an edge neighbour.
  std::optional<int> next_step(const Pixel& at, int direction) const {
    std::optional<int> best;
    std::array<int, 3> best_key{};
    for (int d = 0; d < 8; ++d) {
      const Pixel to{at.first + kRing[d].first, at.second + kRing[d].second};
      if (!waiting(to.first, to.second)) continue;
      const int turn = direction < 0 ? 0 : std::min((d - direction + 8) % 8, (direction - d + 8) % 8);
      const std::array<int, 3> key{waiting_neighbours(to), turn, d % 2};
      if (!best || key < best_key) {
        best = d;
        best_key = key;
      }
    }
    return best;
  }

  void trace_shape(const std::vector<Pixel>& shape, Points& out) {
    std::optional<Pixel> pen;
    while (const auto start = next_start(shape, pen)) {
      Pixel at = *start;
      int direction = -1;
      for (;;) {
        left_[index(at.first, at.second)] = 0;
        out.emplace_back(at.first, at.second + top_);
        const auto step = next_step(at, direction);
        if (!step) break;
        direction = *step;
        at = {at.first + kRing[*step].first, at.second + kRing[*step].second};
      }
      pen = at;
    }
  }

  int top_;
  std::array<std::uint8_t, kPadWidth * kPadHeight> left_{};
};

}  // namespace

Points trace_ink(const PointImage& ink, int top) { return Tracer(ink, top).run(); }

// --- the sample ----------------------------------------------------------------

namespace {

// Appends the pixel path to (x, y) from the last point of the stroke, one
// neighbouring pixel at a time.
void line_to(Points& stroke, int x, int y) {
  if (stroke.empty()) {
    stroke.emplace_back(x, y);
    return;
  }
  auto [cx, cy] = stroke.back();
  while (cx != x || cy != y) {
    cx += (x > cx) - (x < cx);
    cy += (y > cy) - (y < cy);
    stroke.emplace_back(cx, cy);
  }
}

struct Curve {
  double (*x)(double);
  double (*y)(double);
  int steps;
};

constexpr double kTau = 2 * std::numbers::pi;

// A cursive name: a tall looping capital, a run of loops that lean right
// and fade, a stroke across, and an underline with a flick at its end.
constexpr std::array<Curve, 4> kSample{{
    {[](double t) { return 10 + 14 * t + 7 * std::sin(kTau * t); },
     [](double t) { return 56 - 46 * std::sin(std::numbers::pi * t); }, 240},
    {[](double t) { return 26 + 80 * t + 5 * std::cos(kTau * 5 * t); },
     [](double t) { return 34 - (13 - 6 * t) * std::sin(kTau * 5 * t + 0.6); }, 900},
    {[](double t) { return 40 + 30 * t; }, [](double t) { return 16 + 4 * std::sin(std::numbers::pi * t); }, 80},
    {[](double t) { return 12 + 108 * t; },
     [](double t) { return 55 + 3 * std::sin(std::numbers::pi * t) - (t > 0.9 ? 40 * (t - 0.9) : 0); }, 300},
}};

}  // namespace

Points sample_signature() {
  Points points;
  for (const Curve& c : kSample) {
    Points stroke;
    for (int i = 0; i <= c.steps; ++i) {
      const double t = static_cast<double>(i) / c.steps;
      line_to(stroke, std::clamp(static_cast<int>(std::lround(c.x(t))), 4, 123),
              std::clamp(static_cast<int>(std::lround(c.y(t))), 4, 59));
    }
    points.insert(points.end(), stroke.begin(), stroke.end());
  }
  return points;
}

}  // namespace pink::vpad
