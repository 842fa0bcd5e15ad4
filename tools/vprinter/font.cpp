#include "tools/vprinter/font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <filesystem>

#include "platform/env.h"

namespace pink::vprinter {
namespace {

constexpr const char* kFontVariable = "PINK_VPRINTER_FONT";
constexpr const char* kFamily = "NanumGothicCoding";
constexpr const char* kKnownPath = "/usr/share/fonts/truetype/nanum/NanumGothicCoding.ttf";
constexpr char32_t kKoreanProbe = U'\uAC00';  // 가
constexpr unsigned kInkLevel = 128;           // coverage from which a dot prints

// The file fontconfig matches for the family, when the match is that family
// (fontconfig falls back to any font it has).
std::string fontconfig_match() {
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (config == nullptr) return {};
  std::string path;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(kFamily));
  if (pattern == nullptr) {
    FcConfigDestroy(config);
    return {};
  }
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  if (FcPattern* found = FcFontMatch(config, pattern, &result)) {
    FcChar8* file = nullptr;
    FcChar8* family = nullptr;
    if (FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch &&
        FcPatternGetString(found, FC_FAMILY, 0, &family) == FcResultMatch &&
        std::string_view(reinterpret_cast<const char*>(family)) == kFamily) {
      path = reinterpret_cast<const char*>(file);
    }
    FcPatternDestroy(found);
  }
  FcPatternDestroy(pattern);
  FcConfigDestroy(config);
  return path;
}

}  // namespace

std::string find_printer_font(std::string& error) {
  std::error_code ec;
  if (const auto chosen = env::get(kFontVariable)) {
    if (std::filesystem::is_regular_file(*chosen, ec)) return *chosen;
    error = std::string(kFontVariable) + " names " + *chosen + ", which is not a file";
    return {};
  }
  std::string path = fontconfig_match();
  if (!path.empty()) return path;
  if (std::filesystem::is_regular_file(kKnownPath, ec)) return kKnownPath;
  error = std::string("no printer font: ") + kFontVariable + " is not set, fontconfig knows no " + kFamily +
          " and " + kKnownPath + " is missing; install fonts-nanum (scripts/setup does) or set " +
          kFontVariable + " to a TrueType font with Korean glyphs";
  return {};
}

struct FontGlyphs::Face {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~Face() {
    if (face != nullptr) FT_Done_Face(face);
    if (library != nullptr) FT_Done_FreeType(library);
  }
};

FontGlyphs::FontGlyphs(std::unique_ptr<Face> face) : face_(std::move(face)) {}
FontGlyphs::~FontGlyphs() = default;

std::unique_ptr<FontGlyphs> FontGlyphs::open(const std::string& path, std::string& error) {
  auto face = std::make_unique<Face>();
  if (FT_Init_FreeType(&face->library) != 0) {
    error = "FreeType cannot start";
    return nullptr;
  }
  if (FT_New_Face(face->library, path.c_str(), 0, &face->face) != 0) {
    face->face = nullptr;
    error = "cannot load the font " + path;
    return nullptr;
  }
  if (!FT_IS_SCALABLE(face->face) || FT_Get_Char_Index(face->face, kKoreanProbe) == 0) {
    error = "the font " + path + " has no scalable Korean glyphs";
    return nullptr;
  }
  return std::unique_ptr<FontGlyphs>(new FontGlyphs(std::move(face)));
}

GlyphCell FontGlyphs::glyph(char32_t code, std::uint32_t width, std::uint32_t height, bool wide) {
  const auto key = std::make_tuple(code, width, height, wide);
  const auto it = cache_.find(key);
  if (it != cache_.end()) return it->second;
  return cache_.emplace(key, draw(code, width, height, wide)).first->second;
}

// The glyph at an em `height` dots tall and as wide as two columns (the
// font's Latin letters are half an em wide, its Hangul a whole em), centred
// across the cell, its baseline where the font's ascent puts it.
GlyphCell FontGlyphs::draw(char32_t code, std::uint32_t width, std::uint32_t height, bool wide) {
  GlyphCell cell{width, height, std::vector<std::uint8_t>(std::size_t{width} * height, 0)};
  FT_Face face = face_->face;
  const FT_UInt em_width = wide ? width : 2 * width;
  if (code == U' ' || FT_Set_Pixel_Sizes(face, em_width, height) != 0 ||
      FT_Load_Char(face, code, FT_LOAD_RENDER) != 0) {
    return cell;
  }
  const long ascent = face->ascender, descent = -static_cast<long>(face->descender);
  const long baseline = ascent + descent > 0 ? (static_cast<long>(height) * ascent + (ascent + descent) / 2) /
                                                   (ascent + descent)
                                             : static_cast<long>(height);
  const FT_GlyphSlot g = face->glyph;
  const FT_Bitmap& bm = g->bitmap;
  const long advance = g->advance.x >> 6;
  const long left = (static_cast<long>(width) - advance) / 2 + g->bitmap_left;
  for (unsigned row = 0; row < bm.rows; ++row) {
    const long y = baseline - g->bitmap_top + static_cast<long>(row);
    if (y < 0 || y >= static_cast<long>(height)) continue;
    const unsigned char* line = bm.buffer + static_cast<long>(row) * bm.pitch;
    for (unsigned col = 0; col < bm.width; ++col) {
      const long x = left + static_cast<long>(col);
      if (x < 0 || x >= static_cast<long>(width)) continue;
      const bool ink = bm.pixel_mode == FT_PIXEL_MODE_MONO ? (line[col / 8] & (0x80u >> (col % 8))) != 0
                                                             : line[col] >= kInkLevel;
      if (ink) cell.ink[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)] = 1;
    }
  }
  return cell;
}

}  // namespace pink::vprinter
