#include "tools/vprinter/render.h"

#include <algorithm>
#include <optional>

#include "platform/text.h"
#include "tools/vprinter/barcode.h"

namespace pink::vprinter {
namespace {

constexpr std::uint32_t kDefaultLineSpacing = 30;
constexpr std::uint32_t kDefaultBarHeight = 162;
constexpr std::uint32_t kDefaultModule = 3;
constexpr std::uint32_t kMaxModule = 6;
constexpr std::uint32_t kHriGap = 2;          // between the bars and their text
constexpr std::uint32_t kCutSpace = 16;       // the paper a cut line takes
constexpr std::uint32_t kDrawerMark = 6;      // the drawer pulse's square
constexpr std::uint32_t kLogoFrameWidth = 288;
constexpr std::uint32_t kLogoFrameHeight = 64;

struct CellSize {
  std::uint32_t width;
  std::uint32_t height;
};
constexpr CellSize kFontA{12, 24};
constexpr CellSize kFontB{9, 17};

// A mode byte accepts n and the digit '0' + n alike.
std::uint32_t mode_value(std::uint32_t n) { return n >= '0' && n <= '9' ? n - '0' : n; }

// A piece of a line (a character cell, an in-line bit image) or a block
// printed on its own: width x height dots, row by row, 1 for ink.
struct Item {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> ink;

  Item() = default;
  Item(std::uint32_t w, std::uint32_t h) : width(w), height(h), ink(std::size_t{w} * h, 0) {}
  std::uint8_t& at(std::uint32_t x, std::uint32_t y) { return ink[std::size_t{y} * width + x]; }
};

// The print settings the commands change.
struct State {
  std::uint32_t justify = 0;  // 0 left, 1 centre, 2 right
  bool font_b = false;
  bool emphasis = false;
  bool double_strike = false;
  std::uint32_t underline = 0;  // dots
  std::uint32_t width_factor = 1;
  std::uint32_t height_factor = 1;
  bool reverse = false;
  std::uint32_t line_spacing = kDefaultLineSpacing;
  std::uint32_t bar_height = kDefaultBarHeight;
  std::uint32_t module = kDefaultModule;
  std::uint32_t hri_position = 0;  // bit 0 above, bit 1 below
  bool hri_font_b = false;
};

// Bar code data for a note: printable ASCII as is, other bytes as <hh>.
std::string shown(std::string_view data) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (const char c : data) {
    const auto b = static_cast<std::uint8_t>(c);
    if (b >= 0x20 && b < 0x7F && c != '<') {
      out += c;
    } else {
      out += {'<', kHex[b >> 4], kHex[b & 15], '>'};
    }
  }
  return out;
}

class Renderer {
 public:
  Renderer(GlyphSource& glyphs, std::uint32_t width) : glyphs_(glyphs) {
    paper_.bitmap.width = width;
  }

  Paper run(std::span<const Event> events) {
    for (const Event& e : events) {
      if (!enabled_ && !(e.kind == EventKind::Command && e.command->op == Op::SelectDevice)) continue;
      switch (e.kind) {
        case EventKind::Text:
          text(e.data);
          break;
        case EventKind::LineEnd:
          print_line(state_.line_spacing);
          break;
        case EventKind::Command:
          command(e);
          break;
        case EventKind::Truncated:
          paper_.notes.push_back("the stream ends inside a command, which does not print");
          break;
        case EventKind::Control:
          break;
      }
    }
    if (!line_.empty()) print_line(state_.line_spacing);
    paper_.bitmap.height = std::min(std::max(y_, bottom_), kMaxPaperDots);
    paper_.bitmap.bits.resize(paper_.bitmap.stride() * paper_.bitmap.height);
    return std::move(paper_);
  }

 private:
  std::uint32_t width() const { return paper_.bitmap.width; }

  // Grows the paper to `bottom` dots; false past the longest paper drawn.
  bool reach(std::uint64_t bottom) {
    if (bottom > kMaxPaperDots) {
      if (!too_long_) paper_.notes.push_back("the paper is longer than " + std::to_string(kMaxPaperDots) +
                                             " dots; the rest is not drawn");
      too_long_ = true;
      return false;
    }
    const auto b = static_cast<std::uint32_t>(bottom);
    if (b > paper_.bitmap.height) {
      paper_.bitmap.height = b;
      paper_.bitmap.bits.resize(paper_.bitmap.stride() * b, 0);
    }
    bottom_ = std::max(bottom_, b);
    return true;
  }

  void dot(std::uint32_t x, std::uint32_t y) {
    if (x >= width() || y >= paper_.bitmap.height) return;
    paper_.bitmap.bits[std::size_t{y} * paper_.bitmap.stride() + x / 8] |=
        static_cast<std::uint8_t>(0x80u >> (x % 8));
  }

  void fill(std::uint32_t x, std::uint32_t y, std::uint32_t w, std::uint32_t h) {
    if (!reach(std::uint64_t{y} + h)) return;
    for (std::uint32_t r = 0; r < h; ++r) {
      for (std::uint32_t c = 0; c < w && x + c < width(); ++c) dot(x + c, y + r);
    }
  }

  void put(const Item& item, std::uint32_t x, std::uint32_t y) {
    if (!reach(std::uint64_t{y} + item.height)) return;
    for (std::uint32_t r = 0; r < item.height; ++r) {
      for (std::uint32_t c = 0; c < item.width && x + c < width(); ++c) {
        if (item.ink[std::size_t{r} * item.width + c]) dot(x + c, y + r);
      }
    }
  }

  void advance(std::uint64_t dots) {
    const std::uint64_t to = std::min<std::uint64_t>(y_ + dots, kMaxPaperDots + 1);
    if (reach(to)) y_ = static_cast<std::uint32_t>(to);
    else y_ = kMaxPaperDots;
  }

  // Where something `w` dots wide starts under the justification.
  std::uint32_t x_for(std::uint32_t w) const {
    if (w >= width()) return 0;
    if (state_.justify == 1) return (width() - w) / 2;
    if (state_.justify == 2) return width() - w;
    return 0;
  }

  // Prints the line buffer and feeds at least `feed` dots (the line's own
  // height when it is taller).
  void print_line(std::uint32_t feed) {
    std::uint32_t w = 0, h = 0;
    for (const Item& item : line_) {
      w += item.width;
      h = std::max(h, item.height);
    }
    std::uint32_t x = x_for(w);
    for (const Item& item : line_) {
      put(item, x, y_ + h - item.height);
      x += item.width;
    }
    line_.clear();
    line_width_ = 0;
    advance(std::max(h, feed));
  }

  // Prints what the line buffer holds before something that prints alone.
  void finish_line() {
    if (!line_.empty()) print_line(state_.line_spacing);
  }

  void add(Item item) {
    if (!line_.empty() && line_width_ + item.width > width()) print_line(state_.line_spacing);
    line_width_ += item.width;
    line_.push_back(std::move(item));
  }

  Item character(char32_t code, bool wide) {
    const CellSize cell = state_.font_b ? kFontB : kFontA;
    const std::uint32_t w = cell.width * (wide ? 2 : 1) * state_.width_factor;
    const std::uint32_t h = cell.height * state_.height_factor;
    Item item(w, h);
    GlyphCell g = glyphs_.glyph(code, w, h, wide);
    if (g.width == w && g.height == h && g.ink.size() == item.ink.size()) item.ink = std::move(g.ink);
    if (state_.emphasis || state_.double_strike) {
      // Struck twice, the second time one dot to the right.
      for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = w - 1; x > 0; --x) item.at(x, y) |= item.at(x - 1, y);
      }
    }
    for (std::uint32_t t = 0; t < state_.underline && t < h; ++t) {
      for (std::uint32_t x = 0; x < w; ++x) item.at(x, h - 1 - t) = 1;
    }
    if (state_.reverse) {
      for (auto& d : item.ink) d = d ? 0 : 1;
    }
    return item;
  }

  void text(std::string_view cp949) {
    std::size_t i = 0;
    while (i < cp949.size()) {
      const std::size_t n = text::char_length_at(cp949, i);
      const std::string_view ch = cp949.substr(i, n);
      const auto b = static_cast<std::uint8_t>(ch[0]);
      if (n == 1 && b >= 0x20 && b < 0x7F) {
        add(character(b, false));
      } else if (n == 2 && text::is_valid_cp949(ch)) {
        add(character(text::cp949_to_utf16(ch)[0], true));
      } else {
        add(character(U'?', false));
      }
      i += n;
    }
  }

  // A line of plain characters in font A or B (a bar code's text, a label).
  Item label(std::string_view ascii, bool font_b) {
    const CellSize cell = font_b ? kFontB : kFontA;
    Item out(cell.width * static_cast<std::uint32_t>(ascii.size()), cell.height);
    std::uint32_t x = 0;
    for (const char c : ascii) {
      const GlyphCell g = glyphs_.glyph(static_cast<unsigned char>(c), cell.width, cell.height, false);
      if (g.width == cell.width && g.height == cell.height && g.ink.size() == std::size_t{g.width} * g.height) {
        for (std::uint32_t r = 0; r < cell.height; ++r) {
          for (std::uint32_t k = 0; k < cell.width; ++k) out.at(x + k, r) = g.ink[std::size_t{r} * g.width + k];
        }
      }
      x += cell.width;
    }
    return out;
  }

  void command(const Event& e);
  void print_command(const Event& e);
  void set_print_mode(std::uint32_t n);
  void bar_code(const Event& e);
  void draw_bitmap(const Bitmap& b, std::uint32_t mode);
  void line_bit_image(const Event& e);
  void raster_image(const Event& e);
  void stored_logo(const std::string& name);
  void cut(std::uint32_t feed, bool full);
  void drawer_mark();

  GlyphSource& glyphs_;
  Paper paper_;
  State state_;
  std::vector<Item> line_;
  std::uint32_t line_width_ = 0;
  std::uint32_t y_ = 0;       // where the next line starts
  std::uint32_t bottom_ = 0;  // the lowest dot row drawn on
  bool too_long_ = false;
  bool enabled_ = true;
  std::optional<Bitmap> bit_image_;  // the last GS *
  std::optional<Bitmap> logo_rows_;  // the open parallel logo block
};

void Renderer::set_print_mode(std::uint32_t n) {
  state_.font_b = (n & 0x01) != 0;
  state_.emphasis = (n & 0x08) != 0;
  state_.height_factor = (n & 0x10) ? 2 : 1;
  state_.width_factor = (n & 0x20) ? 2 : 1;
  state_.underline = (n & 0x80) ? 1 : 0;
}

void Renderer::command(const Event& e) {
  const auto arg = [&](std::size_t i) { return e.args[i]; };
  switch (e.command->op) {
    case Op::Initialise: state_ = State{}; line_.clear(); line_width_ = 0; break;
    case Op::Justify: if (mode_value(arg(0)) <= 2) state_.justify = mode_value(arg(0)); break;
    case Op::PrintMode: set_print_mode(arg(0)); break;
    case Op::Emphasis: state_.emphasis = (arg(0) & 1) != 0; break;
    case Op::DoubleStrike: state_.double_strike = (arg(0) & 1) != 0; break;
    case Op::Underline: if (mode_value(arg(0)) <= 2) state_.underline = mode_value(arg(0)); break;
    case Op::SelectFont: if (mode_value(arg(0)) <= 1) state_.font_b = mode_value(arg(0)) == 1; break;
    case Op::Reverse: state_.reverse = (arg(0) & 1) != 0; break;
    case Op::CharacterSize:
      if ((arg(0) & 0x88) == 0) {
        state_.width_factor = (arg(0) >> 4) + 1;
        state_.height_factor = (arg(0) & 0x0F) + 1;
      }
      break;
    case Op::FeedLines: print_line(arg(0) * state_.line_spacing); break;
    case Op::FeedDots: print_line(arg(0)); break;
    case Op::DefaultLineSpacing: state_.line_spacing = kDefaultLineSpacing; break;
    case Op::LineSpacing: state_.line_spacing = arg(0); break;
    case Op::DrawerPulse: drawer_mark(); break;
    case Op::SelectDevice: enabled_ = (arg(0) & 1) != 0; break;
    case Op::BarCodeHeight: if (arg(0) > 0) state_.bar_height = arg(0); break;
    case Op::BarCodeWidth: if (arg(0) >= 1 && arg(0) <= kMaxModule) state_.module = arg(0); break;
    case Op::HriFont: if (mode_value(arg(0)) <= 1) state_.hri_font_b = mode_value(arg(0)) == 1; break;
    case Op::HriPosition: if (mode_value(arg(0)) <= 3) state_.hri_position = mode_value(arg(0)); break;
    default:
      print_command(e);
      break;
  }
}

// The commands that print on their own: bar codes, cuts, pictures.
void Renderer::print_command(const Event& e) {
  const auto arg = [&](std::size_t i) { return e.args[i]; };
  switch (e.command->op) {
    case Op::BarCode: bar_code(e); break;
    case Op::Cut: {
      // m 0 / '0' and 65 cut fully, 1 / '1' and 66 partly; 65 and 66 feed n first.
      const std::uint32_t m = mode_value(arg(0));
      if (m <= 1 || m == 65 || m == 66) cut(m >= 65 ? arg(1) : 0, m == 0 || m == 65);
      break;
    }
    case Op::FullCutNow: cut(0, true); break;
    case Op::PartialCutNow: cut(0, false); break;
    case Op::DefineBitImage: {
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(e.data.data());
      bit_image_ = bit_image_dots(arg(0), arg(1), {bytes, e.data.size()});
      break;
    }
    case Op::PrintBitImage:
      if (bit_image_ && bit_image_->width > 0 && bit_image_->height > 0) draw_bitmap(*bit_image_, mode_value(arg(0)));
      else if (!bit_image_) stored_logo("stored logo");
      break;
    case Op::PrintLogo: stored_logo("stored logo"); break;
    case Op::PrintNvImage: stored_logo("NV image " + std::to_string(arg(0))); break;
    case Op::LineBitImage: line_bit_image(e); break;
    case Op::RasterImage: raster_image(e); break;
    case Op::LogoRowsBegin:
      logo_rows_ = Bitmap{};
      logo_rows_->width = kRasterRowDots;
      break;
    case Op::RasterRows:
      if (logo_rows_) {
        logo_rows_->bits.insert(logo_rows_->bits.end(), e.data.begin(), e.data.end());
        logo_rows_->height += static_cast<std::uint32_t>(e.data.size() / kRasterRowBytes);
      }
      break;
    case Op::LogoRowsEnd:
      if (logo_rows_ && logo_rows_->height > 0) draw_bitmap(*logo_rows_, 0);
      logo_rows_.reset();
      break;
    default:
      break;  // Korean mode (already in the text), motion units, buzzer, logo selection
  }
}

void Renderer::bar_code(const Event& e) {
  finish_line();
  const std::uint32_t m = e.args[0];
  if (m > 6 && m < 65) return;  // no bar code: what follows is read as text
  const std::string what = "bar code GS k " + std::to_string(m) + " \"" + shown(e.data) + "\"";
  const Bars bars = encode_bar_code(m, e.data);
  if (!bars.ok()) {
    paper_.notes.push_back(what + ": " + bars.error + "; not printed");
    return;
  }
  const std::uint32_t w = bars_width(bars, state_.module);
  if (w > width()) {
    paper_.notes.push_back(what + ": " + std::to_string(w) + " dots wide, wider than the paper; not printed");
    return;
  }
  const std::uint32_t x = x_for(w);
  const Item hri = label(bars.hri, state_.hri_font_b);
  const std::uint32_t hri_x = x + w / 2 > hri.width / 2 ? x + w / 2 - hri.width / 2 : 0;
  if (state_.hri_position & 1) {
    put(hri, hri_x, y_);
    advance(hri.height + kHriGap);
  }
  std::uint32_t at = x;
  for (std::size_t i = 0; i < bars.elements.size(); ++i) {
    const std::uint32_t e_w = bars.two_widths ? (bars.elements[i] == 2 ? wide_dots(state_.module) : state_.module)
                                              : bars.elements[i] * state_.module;
    if (i % 2 == 0) fill(at, y_, e_w, state_.bar_height);
    at += e_w;
  }
  advance(state_.bar_height);
  if (state_.hri_position & 2) {
    advance(kHriGap);
    put(hri, hri_x, y_);
    advance(hri.height);
  }
}

// A picture printed on its own, `mode` 1 double width, 2 double height, 3 both.
void Renderer::draw_bitmap(const Bitmap& b, std::uint32_t mode) {
  finish_line();
  const std::uint32_t sx = (mode == 1 || mode == 3) ? 2 : 1, sy = (mode == 2 || mode == 3) ? 2 : 1;
  const std::uint32_t w = b.width * sx, h = b.height * sy;
  const std::uint32_t x0 = x_for(w);
  if (!reach(std::uint64_t{y_} + h)) return;
  for (std::uint32_t y = 0; y < b.height; ++y) {
    for (std::uint32_t x = 0; x < b.width; ++x) {
      if (b.dot(x, y)) fill(x0 + x * sx, y_ + y * sy, sx, sy);
    }
  }
  advance(h);
}

// ESC *: a piece of the line. 8-dot images print each dot three dots tall,
// single density two dots wide.
void Renderer::line_bit_image(const Event& e) {
  const std::uint32_t m = e.args[0];
  if (m != 0 && m != 1 && m != 32 && m != 33) return;
  const std::uint32_t columns = e.args[1] + 256 * e.args[2];
  const std::uint32_t bands = m >= 32 ? 3 : 1;
  const std::uint32_t sx = (m == 0 || m == 32) ? 2 : 1, sy = m >= 32 ? 1 : 3;
  Item item(std::min(columns * sx, width()), bands * 8 * sy);
  for (std::uint32_t c = 0; c < columns && c * sx < item.width; ++c) {
    for (std::uint32_t band = 0; band < bands; ++band) {
      const auto byte = static_cast<std::uint8_t>(e.data[std::size_t{c} * bands + band]);
      for (std::uint32_t k = 0; k < 8; ++k) {
        if (!(byte & (0x80u >> k))) continue;
        for (std::uint32_t dy = 0; dy < sy; ++dy) {
          for (std::uint32_t dx = 0; dx < sx; ++dx) item.at(c * sx + dx, (band * 8 + k) * sy + dy) = 1;
        }
      }
    }
  }
  add(std::move(item));
}

void Renderer::raster_image(const Event& e) {
  Bitmap b;
  b.width = (e.args[1] + 256 * e.args[2]) * 8;
  b.height = e.args[3] + 256 * e.args[4];
  if (b.width == 0 || b.height == 0) return;
  b.bits.assign(e.data.begin(), e.data.end());
  draw_bitmap(b, mode_value(e.args[0]));
}

// A logo kept in the printer's memory, which the capture does not hold: a
// dashed frame with its name.
void Renderer::stored_logo(const std::string& name) {
  finish_line();
  const std::uint32_t w = std::min(kLogoFrameWidth, width()), h = kLogoFrameHeight;
  const std::uint32_t x = x_for(w);
  if (!reach(std::uint64_t{y_} + h)) return;
  for (std::uint32_t i = 0; i < w; i += 8) {
    fill(x + i, y_, 4, 1);
    fill(x + i, y_ + h - 1, 4, 1);
  }
  for (std::uint32_t i = 0; i < h; i += 8) {
    fill(x, y_ + i, 1, 4);
    fill(x + w - 1, y_ + i, 1, 4);
  }
  const Item text = label(name, false);
  put(text, x + (w > text.width ? (w - text.width) / 2 : 0), y_ + (h - text.height) / 2);
  advance(h);
}

// The cut: a dashed line across the paper, long dashes for a full cut.
void Renderer::cut(std::uint32_t feed, bool full) {
  finish_line();
  advance(feed);
  const std::uint32_t dash = full ? 12 : 4, gap = full ? 6 : 4;
  for (std::uint32_t x = 0; x < width(); x += dash + gap) fill(x, y_ + kCutSpace / 2 - 1, dash, 2);
  advance(kCutSpace);
  ++paper_.cuts;
}

void Renderer::drawer_mark() {
  const std::uint32_t w = std::min(kDrawerMark, width());
  fill(width() - w, y_, w, kDrawerMark);
}

}  // namespace

Paper render_paper(std::span<const Event> events, GlyphSource& glyphs, std::uint32_t width) {
  return Renderer(glyphs, width).run(events);
}

}  // namespace pink::vprinter
