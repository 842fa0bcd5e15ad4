// The printed paper: what a thermal receipt printer puts on its roll for a
// decoded stream, as one 1-bit picture as wide as the printable width and as
// long as what was printed. Pure: events in, dots out; the character shapes
// come from a GlyphSource (tools/vprinter/font.h gives the real font).
//
// How the printer is modelled (203 dots per inch):
// - Text goes into a line buffer that prints at a line end (CR LF, LF, CR
//   alone), at ESC d / ESC J, before anything that prints on its own (bar
//   code, bit image, cut) and when the next character no longer fits. Text
//   left without a line end at the end of the stream is printed too.
// - Font A is 12 x 24 dots a column, font B 9 x 17; a Korean (double-byte)
//   character takes two columns. 576 dots give 48 columns of font A (80 mm
//   paper), 384 dots 32 (58 mm).
// - GS ! and ESC ! multiply width and height; emphasis (ESC E, ESC G, ESC !)
//   strikes each character twice, one dot apart; underline is 1 or 2 dots;
//   GS B prints white on black.
// - A line advances by the line spacing (30 dots, ESC 3 n: n dots) or by its
//   tallest content when that is taller. Justification (ESC a) places each
//   line, bar code and picture.
// - Bar codes (GS k) are drawn by tools/vprinter/barcode.h at the module
//   width of GS w (default 3) and the height of GS h (default 162 dots), with
//   the human-readable text of GS H / GS f. A bar code wider than the paper
//   or with data the system refuses does not print; a note says why.
// - Bit images: GS * printed by GS / (size modes), GS v 0, ESC * in the line
//   (8-dot images three dots tall a dot, single density two dots wide), and
//   the parallel logo's ESC V rows. A stored logo the printer would hold in
//   its memory (GS G, FS p, GS / with no GS *) is shown as a framed label.
// - Cuts (GS V, ESC i, ESC m) are a dashed line across the paper; a drawer
//   pulse is a small mark at the right edge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/vprinter/decoder.h"
#include "tools/vprinter/images.h"

namespace pink::vprinter {

inline constexpr std::uint32_t kPaper80Dots = 576;  // 72 mm printable on 80 mm paper
inline constexpr std::uint32_t kPaper58Dots = 384;  // 48 mm printable on 58 mm paper
// The longest paper drawn (about 25 m); what would print past it is left out.
inline constexpr std::uint32_t kMaxPaperDots = 200000;

// The shape of one character filling its cell: `width` x `height` dots, row
// by row, 1 for ink.
struct GlyphCell {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> ink;
};

class GlyphSource {
 public:
  virtual ~GlyphSource() = default;
  // `code` (Unicode) drawn in a cell of width x height dots; `wide` when the
  // cell is two columns (a Korean character). The cell must come back with
  // exactly that size.
  virtual GlyphCell glyph(char32_t code, std::uint32_t width, std::uint32_t height, bool wide) = 0;
};

struct Paper {
  Bitmap bitmap;                   // height 0 when nothing was printed
  std::vector<std::string> notes;  // what did not print, and why
  std::size_t cuts = 0;
};

Paper render_paper(std::span<const Event> events, GlyphSource& glyphs, std::uint32_t width = kPaper80Dots);

}  // namespace pink::vprinter
