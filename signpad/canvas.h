// The off-screen picture of a pad control's window: what the control paints
// (its frame rectangle, the live pen points, status text) drawn into an RGB
// canvas, which can be written as a PNG file. Drawing follows the GDI rules
// the controls rely on: a shape's bounding box includes its left and top
// edges and excludes its right and bottom ones.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace pink::signpad {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kBlack{0, 0, 0};

class Canvas {
 public:
  Canvas(int width, int height, Rgb background = kWhite);

  int width() const noexcept { return width_; }
  int height() const noexcept { return height_; }

  // Makes the canvas the given size, filled with `background`.
  void reset(int width, int height, Rgb background = kWhite);
  void fill(Rgb colour);
  void set_pixel(int x, int y, Rgb colour);  // outside the canvas: nothing
  Rgb pixel(int x, int y) const;             // outside: the background white

  // A rectangle outlined with a one-pixel pen and filled inside.
  void rectangle(int left, int top, int right, int bottom, Rgb pen, Rgb fill);
  // A solid ellipse in the bounding box.
  void ellipse(int left, int top, int right, int bottom, Rgb colour);
  // One line of cp949 text with its top-left corner at (x, y), `pixel_height`
  // high, in the system's font for Korean text (nothing when there is none).
  void text(int x, int y, std::string_view cp949, int pixel_height, Rgb colour);

  // The canvas as a PNG file (8-bit RGB, uncompressed deflate blocks).
  std::vector<std::uint8_t> png() const;
  // The pixels as 0x00RRGGBB values, rows top down: what a window blits.
  std::vector<std::uint32_t> xrgb() const;

 private:
  int width_ = 0, height_ = 0;
  std::vector<Rgb> pixels_;
};

}  // namespace pink::signpad
