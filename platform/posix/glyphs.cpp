// Text masks on Linux: the font fontconfig matches for Korean sans-serif
// text, rendered glyph by glyph with FreeType.
#include "platform/glyphs.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <mutex>
#include <string>

#include "platform/text.h"

namespace pink::glyphs {
namespace {

struct Font {
  FT_Library library = nullptr;
  FT_Face face = nullptr;

  Font() {
    if (FT_Init_FreeType(&library) != 0) return;
    const std::string path = match();
    if (path.empty() || FT_New_Face(library, path.c_str(), 0, &face) != 0) face = nullptr;
  }

  static std::string match() {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr) return {};
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=ko"));
    std::string path;
    if (pattern != nullptr) {
      FcConfigSubstitute(config, pattern, FcMatchPattern);
      FcDefaultSubstitute(pattern);
      FcResult result = FcResultNoMatch;
      if (FcPattern* found = FcFontMatch(config, pattern, &result)) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
          path = reinterpret_cast<const char*>(file);
        }
        FcPatternDestroy(found);
      }
      FcPatternDestroy(pattern);
    }
    FcConfigDestroy(config);
    return path;
  }
};

std::mutex g_lock;

Font& font() {
  static Font f;
  return f;
}

}  // namespace

Mask render(std::string_view cp949, int pixel_height) {
  Mask mask;
  if (cp949.empty() || pixel_height <= 0 || pixel_height > 512) return mask;
  const std::lock_guard<std::mutex> hold(g_lock);
  FT_Face face = font().face;
  if (face == nullptr || FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixel_height)) != 0) return mask;
  const std::u16string chars = text::cp949_to_utf16(cp949);
  const int ascender = static_cast<int>(face->size->metrics.ascender >> 6);

  int advance = 0;
  for (const char16_t c : chars) {
    if (FT_Load_Char(face, c, FT_LOAD_DEFAULT) == 0) advance += static_cast<int>(face->glyph->advance.x >> 6);
  }
  mask.width = std::max(advance, 1);
  mask.height = pixel_height;
  mask.coverage.assign(static_cast<std::size_t>(mask.width * mask.height), 0);

  int pen = 0;
  for (const char16_t c : chars) {
    if (FT_Load_Char(face, c, FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot g = face->glyph;
    const FT_Bitmap& bm = g->bitmap;
    for (unsigned row = 0; row < bm.rows; ++row) {
      const int y = ascender - g->bitmap_top + static_cast<int>(row);
      if (y < 0 || y >= mask.height) continue;
      for (unsigned col = 0; col < bm.width; ++col) {
        const int x = pen + g->bitmap_left + static_cast<int>(col);
        if (x < 0 || x >= mask.width) continue;
        std::uint8_t& cell = mask.coverage[static_cast<std::size_t>(y * mask.width + x)];
        cell = std::max(cell, bm.buffer[static_cast<long>(row) * bm.pitch + col]);
      }
    }
    pen += static_cast<int>(g->advance.x >> 6);
  }
  return mask;
}

}  // namespace pink::glyphs
