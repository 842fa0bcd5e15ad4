// The printer's characters from a real font: a TrueType font with Korean
// glyphs (NanumGothicCoding from fonts-nanum: monospaced, half-width Latin
// and full-width Hangul, as a receipt printer's fonts are), drawn with
// FreeType into the cells of tools/vprinter/render.h.
//
// Which font: $PINK_VPRINTER_FONT when set (a font file), else the file
// fontconfig matches for "NanumGothicCoding" when it is a Nanum font, else
// the file where fonts-nanum puts it. The font must have Korean glyphs.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "tools/vprinter/render.h"

namespace pink::vprinter {

// The font file to use, or empty with `error` saying what was looked for.
std::string find_printer_font(std::string& error);

class FontGlyphs : public GlyphSource {
 public:
  // Nothing, with `error` set, when the file cannot be loaded as a font or
  // has no Korean glyphs.
  static std::unique_ptr<FontGlyphs> open(const std::string& path, std::string& error);
  ~FontGlyphs() override;
  FontGlyphs(const FontGlyphs&) = delete;
  FontGlyphs& operator=(const FontGlyphs&) = delete;

  GlyphCell glyph(char32_t code, std::uint32_t width, std::uint32_t height, bool wide) override;

 private:
  struct Face;
  explicit FontGlyphs(std::unique_ptr<Face> face);
  GlyphCell draw(char32_t code, std::uint32_t width, std::uint32_t height, bool wide);

  std::unique_ptr<Face> face_;
  std::map<std::tuple<char32_t, std::uint32_t, std::uint32_t, bool>, GlyphCell> cache_;
};

}  // namespace pink::vprinter
