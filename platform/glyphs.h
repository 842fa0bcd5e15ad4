// Text drawn as a coverage mask, for pictures of a control's window (the
// signature pads' status texts). Linux: FreeType with the font fontconfig
// picks for Korean text; Windows: GDI with the Korean UI font. A separate
// library (pink_glyphs), so that only what draws text links the font stack.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace pink::glyphs {

struct Mask {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> coverage;  // width x height, row by row, 0 (none) .. 255 (full)
};

// One line of cp949 text `pixel_height` pixels high. An empty mask when the
// text is empty or no font can be loaded.
Mask render(std::string_view cp949, int pixel_height);

}  // namespace pink::glyphs
