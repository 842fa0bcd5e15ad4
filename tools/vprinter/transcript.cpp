#include "tools/vprinter/transcript.h"

#include <array>
#include <map>
#include <optional>
#include <string_view>

#include "platform/text.h"

namespace pink::vprinter {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr std::size_t kShownTruncatedBytes = 16;

std::string hex(std::uint8_t b) { return {kHexDigits[b >> 4], kHexDigits[b & 0x0F]}; }
std::string escaped(std::uint8_t b) { return "<" + hex(b) + ">"; }

// A mode byte accepts n and the digit character '0' + n alike.
std::uint32_t mode_value(std::uint32_t n) { return n >= '0' && n <= '9' ? n - '0' : n; }

// A mode argument shows which form came: '1' for the digit, 1 for the value.
std::string mode_text(std::uint32_t n) {
  if (n >= '0' && n <= '9') return std::string("'") + static_cast<char>(n) + "'";
  return std::to_string(n);
}

// The name for a mode value from a list, or "<what> n (unknown)".
template <std::size_t N>
std::string pick(const std::array<const char*, N>& names, std::uint32_t n, std::string_view what) {
  const std::uint32_t v = mode_value(n);
  if (v < N) return names[v];
  return std::string(what) + " " + mode_text(n) + " (unknown)";
}

// Bar code data: printable ASCII as is; '"', '<' and every other byte as <hh>.
std::string quoted(std::string_view data) {
  std::string out = "\"";
  for (const char c : data) {
    const auto b = static_cast<std::uint8_t>(c);
    if (b >= 0x20 && b < 0x7F && b != '"' && b != '<') {
      out += c;
    } else {
      out += escaped(b);
    }
  }
  return out + "\"";
}

// Printed text: cp949 characters as UTF-8; '<', control bytes and bytes that
// are no cp949 character as <hh>.
std::string printed_text(std::string_view cp949) {
  std::string out;
  std::size_t i = 0;
  while (i < cp949.size()) {
    const std::size_t n = text::char_length_at(cp949, i);
    const std::string_view ch = cp949.substr(i, n);
    const auto b = static_cast<std::uint8_t>(ch[0]);
    if (n == 1 && b >= 0x20 && b < 0x7F && b != '<') {
      out += ch;
    } else if (n == 2 && text::is_valid_cp949(ch)) {
      out += text::cp949_to_utf8(ch);
    } else {
      for (const char c : ch) out += escaped(static_cast<std::uint8_t>(c));
    }
    i += n;
  }
  return out;
}

// The bytes of a cut-off command as the control names and characters they are.
std::string mnemonic(std::string_view bytes) {
  static constexpr std::array<std::pair<std::uint8_t, const char*>, 5> kNames{{
      {kDc2, "DC2"}, {kEsc, "ESC"}, {kFs, "FS"}, {kGs, "GS"}, {kUs, "US"}}};
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<std::uint8_t>(c);
    if (!out.empty()) out += ' ';
    std::string piece = escaped(b);
    for (const auto& [code, name] : kNames) {
      if (code == b) piece = name;
    }
    if (b > 0x20 && b < 0x7F && b != '<') piece = std::string(1, c);
    out += piece;
  }
  return out;
}

std::string hex_list(std::string_view bytes, std::size_t limit) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    if (i > 0) out += ' ';
    out += hex(static_cast<std::uint8_t>(bytes[i]));
  }
  if (bytes.size() > limit) out += " ...";
  return out;
}

// The bytes of a command with fixed arguments, for commands shown by their bytes.
std::string command_bytes(const Event& e) {
  std::string bytes;
  for (const auto b : e.command->prefix_bytes()) bytes += static_cast<char>(b);
  for (const auto a : e.args) bytes += static_cast<char>(a);
  return hex_list(bytes, bytes.size());
}

// What the transcript knows beside the event itself.
struct Context {
  std::optional<std::string> picture;  // the picture the event's data ends up in
  bool image_defined = false;          // a GS * came before
};

using Describe = std::string (*)(const Event&, const Context&);

constexpr std::array<const char*, 4> kSizeModes{"normal size", "double width", "double height",
                                                "quadruple size"};

struct BarCodeSystem {
  std::uint32_t m;
  const char* name;
};

constexpr std::array<BarCodeSystem, 16> kBarCodeSystems{{
    {0, "UPC-A"}, {1, "UPC-E"}, {2, "JAN13 (EAN13)"}, {3, "JAN8 (EAN8)"},
    {4, "CODE39"}, {5, "ITF"}, {6, "CODABAR"},
    {65, "UPC-A"}, {66, "UPC-E"}, {67, "JAN13 (EAN13)"}, {68, "JAN8 (EAN8)"},
    {69, "CODE39"}, {70, "ITF"}, {71, "CODABAR"}, {72, "CODE93"}, {73, "CODE128"},
}};

std::string bar_code(const Event& e, const Context&) {
  const std::uint32_t m = e.args[0];
  std::string system = "system " + std::to_string(m);
  for (const auto& s : kBarCodeSystems) {
    if (s.m == m) system = s.name;
  }
  if (m > 6 && m < 65) return "bar code " + system + " unknown, what follows is read as text";
  return "bar code " + system + " data " + quoted(e.data);
}

std::string print_mode(const Event& e, const Context&) {
  const std::uint32_t n = e.args[0];
  std::string out = (n & 0x01) ? "print mode font B" : "print mode font A";
  if (n & 0x08) out += ", emphasised";
  if (n & 0x10) out += ", double height";
  if (n & 0x20) out += ", double width";
  if (n & 0x80) out += ", underlined";
  return out;
}

std::string drawer_pulse(const Event& e, const Context&) {
  static constexpr std::array<const char*, 2> kPins{"pin 2", "pin 5"};
  return "drawer pulse " + pick(kPins, e.args[0], "pin selector") + ", on " +
         std::to_string(e.args[1] * 2) + " ms, off " + std::to_string(e.args[2] * 2) + " ms";
}

std::string cut(const Event& e, const Context&) {
  const std::uint32_t m = mode_value(e.args[0]);
  if (m == 0) return "full cut";
  if (m == 1) return "partial cut";
  if (m == 65) return "feed " + std::to_string(e.args[1]) + " and full cut";
  if (m == 66) return "feed " + std::to_string(e.args[1]) + " and partial cut";
  return "cut " + std::to_string(e.args[0]) + " (unknown)";
}

std::string define_bit_image(const Event& e, const Context& c) {
  const std::uint32_t w = e.args[0] * 8, h = e.args[1] * 8;
  std::string out = "bit image " + std::to_string(w) + " x " + std::to_string(h) + " dots";
  if (w == 0 || h == 0) return out + " (empty)";
  return out + (c.picture ? " -> " + *c.picture : std::string(" (not printed)"));
}

std::string print_bit_image(const Event& e, const Context& c) {
  std::string out = "print bit image, " + pick(kSizeModes, e.args[0], "size mode");
  if (!c.image_defined) out += " (no bit image defined)";
  return out;
}

std::string line_bit_image(const Event& e, const Context&) {
  const std::uint32_t m = e.args[0];
  const std::string columns = std::to_string(e.args[1] + 256 * e.args[2]) + " columns";
  if (m == 0) return "bit image in the line, 8-dot single density, " + columns;
  if (m == 1) return "bit image in the line, 8-dot double density, " + columns;
  if (m == 32) return "bit image in the line, 24-dot single density, " + columns;
  if (m == 33) return "bit image in the line, 24-dot double density, " + columns;
  return "bit image mode " + std::to_string(m) + " (unknown), what follows is read as text";
}

std::string raster_image(const Event& e, const Context&) {
  const std::uint32_t w = (e.args[1] + 256 * e.args[2]) * 8, h = e.args[3] + 256 * e.args[4];
  return "raster bit image " + std::to_string(w) + " x " + std::to_string(h) + " dots, " +
         pick(kSizeModes, e.args[0], "size mode");
}

struct Meaning {
  Op op;
  std::uint8_t mode_args;  // bit i: argument i is a mode byte (shown '1' or 1)
  Describe describe;
};

// clang-format off
const std::array kMeanings{
    Meaning{Op::Initialise, 0, [](const Event&, const Context&) -> std::string { return "initialise"; }},
    Meaning{Op::Justify, 1, [](const Event& e, const Context&) {
      static constexpr std::array<const char*, 3> kNames{"left", "centre", "right"};
      return "justification " + pick(kNames, e.args[0], "mode"); }},
    Meaning{Op::PrintMode, 0, print_mode},
    Meaning{Op::Emphasis, 0, [](const Event& e, const Context&) -> std::string {
      return (e.args[0] & 1) ? "emphasis on" : "emphasis off"; }},
    Meaning{Op::Underline, 1, [](const Event& e, const Context&) {
      static constexpr std::array<const char*, 3> kNames{"off", "1 dot", "2 dots"};
      return "underline " + pick(kNames, e.args[0], "mode"); }},
    Meaning{Op::FeedLines, 0, [](const Event& e, const Context&) {
      return "print and feed " + std::to_string(e.args[0]) + " lines"; }},
    Meaning{Op::DefaultLineSpacing, 0, [](const Event&, const Context&) -> std::string {
      return "default line spacing"; }},
    Meaning{Op::LineSpacing, 0, [](const Event& e, const Context&) {
      return "line spacing " + std::to_string(e.args[0]) + " units"; }},
    Meaning{Op::DrawerPulse, 1, drawer_pulse},
    Meaning{Op::SelectDevice, 0, [](const Event& e, const Context&) {
      return "select peripheral device " + std::to_string(e.args[0]) +
             ((e.args[0] & 1) ? " (printer on)" : " (printer off)"); }},
    Meaning{Op::BarCode, 0, bar_code},
    Meaning{Op::BarCodeHeight, 0, [](const Event& e, const Context&) {
      return "bar code height " + std::to_string(e.args[0]) + " dots"; }},
    Meaning{Op::BarCodeWidth, 0, [](const Event& e, const Context&) {
      return "bar code module width " + std::to_string(e.args[0]); }},
    Meaning{Op::HriFont, 1, [](const Event& e, const Context&) {
      static constexpr std::array<const char*, 2> kNames{"A", "B"};
      return "HRI font " + pick(kNames, e.args[0], "mode"); }},
    Meaning{Op::HriPosition, 1, [](const Event& e, const Context&) {
      static constexpr std::array<const char*, 4> kNames{"none", "above", "below", "above and below"};
      return "HRI position " + pick(kNames, e.args[0], "mode"); }},
    Meaning{Op::CharacterSize, 0, [](const Event& e, const Context&) {
      return "character size width " + std::to_string((e.args[0] >> 4) + 1) + ", height " +
             std::to_string((e.args[0] & 0x0F) + 1); }},
    Meaning{Op::Cut, 1, cut},
    Meaning{Op::DefineBitImage, 0, define_bit_image},
    Meaning{Op::PrintBitImage, 1, print_bit_image},
    Meaning{Op::PrintLogo, 1, [](const Event& e, const Context&) {
      return "print stored logo " + mode_text(e.args[0]); }},
    Meaning{Op::MotionUnits, 0, [](const Event& e, const Context&) {
      return "motion units x " + std::to_string(e.args[0]) + ", y " + std::to_string(e.args[1]); }},
    Meaning{Op::PrintNvImage, 2, [](const Event& e, const Context&) {
      return "print NV bit image " + std::to_string(e.args[0]) + ", " +
             pick(kSizeModes, e.args[1], "size mode"); }},
    Meaning{Op::KoreanOn, 0, [](const Event&, const Context&) -> std::string { return "Korean mode on"; }},
    Meaning{Op::KoreanOff, 0, [](const Event&, const Context&) -> std::string { return "Korean mode off"; }},
    Meaning{Op::Buzzer, 0, [](const Event& e, const Context&) {
      return "buzzer signal " + std::to_string(e.args[0]) + ", " + std::to_string(e.args[1]) + ", " +
             std::to_string(e.args[2]); }},
    Meaning{Op::SelectLogo, 0, [](const Event& e, const Context&) {
      return "select logo " + std::to_string(e.args[0]); }},
    Meaning{Op::LogoStart, 0, [](const Event& e, const Context&) {
      return "parallel logo start (" + command_bytes(e) + ")"; }},
    Meaning{Op::LogoRowsBegin, 0, [](const Event& e, const Context&) {
      return "logo rows begin (" + command_bytes(e) + ")"; }},
    Meaning{Op::LogoRowsEnd, 0, [](const Event& e, const Context&) {
      return "logo rows end (" + command_bytes(e) + ")"; }},
    Meaning{Op::DoubleStrike, 0, [](const Event& e, const Context&) -> std::string {
      return (e.args[0] & 1) ? "double strike on" : "double strike off"; }},
    Meaning{Op::SelectFont, 1, [](const Event& e, const Context&) {
      static constexpr std::array<const char*, 2> kNames{"font A", "font B"};
      return "character " + pick(kNames, e.args[0], "font"); }},
    Meaning{Op::FeedDots, 0, [](const Event& e, const Context&) {
      return "print and feed " + std::to_string(e.args[0]) + " units"; }},
    Meaning{Op::FullCutNow, 0, [](const Event&, const Context&) -> std::string { return "full cut"; }},
    Meaning{Op::PartialCutNow, 0, [](const Event&, const Context&) -> std::string { return "partial cut"; }},
    Meaning{Op::Reverse, 0, [](const Event& e, const Context&) -> std::string {
      return (e.args[0] & 1) ? "white on black on" : "white on black off"; }},
    Meaning{Op::LineBitImage, 0, line_bit_image},
    Meaning{Op::RasterImage, 1, raster_image},
};
// clang-format on

const Meaning* meaning_of(Op op) {
  for (const auto& m : kMeanings) {
    if (m.op == op) return &m;
  }
  return nullptr;
}

// "GS k 4 \"12345\"", "ESC a '1'", "DC2 ~ d"
std::string command_text(const Event& e, std::uint8_t mode_args) {
  std::string out(e.command->name);
  for (std::size_t i = 0; i < e.args.size(); ++i) {
    const std::uint32_t a = e.args[i];
    out += ' ';
    if (e.command->op == Op::LogoStart && a > 0x20 && a < 0x7F) {
      out += static_cast<char>(a);
    } else if (i < 8 && (mode_args >> i) & 1) {
      out += mode_text(a);
    } else {
      out += std::to_string(a);
    }
  }
  if (e.command->op == Op::BarCode && (e.args[0] <= 6 || e.args[0] >= 65)) {
    out += ' ' + quoted(e.data);
  }
  return out;
}

class Writer {
 public:
  void line(const std::string& left, const std::string& meaning) {
    end_text("<NO LINE END>");
    out_ += left;
    if (!meaning.empty()) {
      out_ += left.size() < kMeaningColumn ? std::string(kMeaningColumn - left.size(), ' ') : " ";
      out_ += meaning;
    }
    out_ += '\n';
  }

  void text(const std::string& piece) {
    text_ += piece;
    open_ = true;
  }

  // Ends the text line open (if any) with the marker of how it ended.
  void end_text(const char* marker) {
    if (!open_) return;
    out_ += text_.empty() ? std::string("TEXT") : "TEXT " + text_;
    out_ += marker;
    out_ += '\n';
    text_.clear();
    open_ = false;
  }

  void line_end(LineEnd kind) {
    open_ = true;
    end_text(kind == LineEnd::CrLf ? "" : kind == LineEnd::Lf ? "<LF>" : "<CR>");
  }

  std::string finish() {
    end_text("<NO LINE END>");
    return std::move(out_);
  }

 private:
  std::string out_;
  std::string text_;
  bool open_ = false;
};

bool korean_text(std::span<const Event> events, std::size_t i) {
  return i < events.size() && events[i].kind == EventKind::Text && events[i].korean;
}

}  // namespace

std::string transcript(std::span<const Event> events, std::span<const Picture> pictures) {
  std::map<std::size_t, std::string> picture_of;
  for (const auto& p : pictures) {
    for (const auto source : p.sources) picture_of[source] = p.file_name;
  }
  const auto picture_at = [&](std::size_t i) -> std::optional<std::string> {
    const auto it = picture_of.find(i);
    if (it == picture_of.end()) return std::nullopt;
    return it->second;
  };

  Writer w;
  bool image_defined = false;
  for (std::size_t i = 0; i < events.size(); ++i) {
    const Event& e = events[i];
    switch (e.kind) {
      case EventKind::Text:
        w.text(printed_text(e.data));
        break;
      case EventKind::Control:
        w.text(escaped(static_cast<std::uint8_t>(e.data[0])));
        break;
      case EventKind::LineEnd:
        w.line_end(e.line_end);
        break;
      case EventKind::Truncated: {
        const std::string left = e.command ? std::string(e.command->name)
                                 : e.korean ? std::string("Korean character")
                                            : mnemonic(e.data);
        w.line(left, "truncated after " + std::to_string(e.data.size()) +
                         (e.data.size() == 1 ? " byte: " : " bytes: ") +
                         hex_list(e.data, kShownTruncatedBytes));
        break;
      }
      case EventKind::Command: {
        const Op op = e.command->op;
        // Korean mode around Korean characters belongs to the text line.
        if (op == Op::KoreanOn && korean_text(events, i + 1)) break;
        if (op == Op::KoreanOff && i > 0 && korean_text(events, i - 1)) break;
        if (op == Op::RasterRows) {
          // A run of raster rows with the same arguments is one line.
          std::size_t last = i;
          std::size_t rows = e.data.size() / kRasterRowBytes;
          while (last + 1 < events.size() && events[last + 1].kind == EventKind::Command &&
                 events[last + 1].command->op == Op::RasterRows && events[last + 1].args == e.args) {
            ++last;
            rows += events[last].data.size() / kRasterRowBytes;
          }
          const std::size_t count = last - i + 1;
          const auto picture = picture_at(i);
          w.line(command_text(e, 0) + (count > 1 ? " x" + std::to_string(count) : ""),
                 std::to_string(rows) + (rows == 1 ? " raster row" : " raster rows") +
                     " of 576 dots" +
                     (picture ? " -> " + *picture : std::string(" (not in a closed logo block, not collected)")));
          i = last;
          break;
        }
        const Meaning* m = meaning_of(op);
        Context c;
        c.picture = picture_at(i);
        c.image_defined = image_defined;
        w.line(command_text(e, m ? m->mode_args : 0), m ? m->describe(e, c) : std::string());
        if (op == Op::DefineBitImage) image_defined = true;
        break;
      }
    }
  }
  return w.finish();
}

Printout print(std::span<const std::uint8_t> stream) {
  Printout p;
  p.events = decode(stream);
  p.pictures = pictures(p.events);
  p.transcript = transcript(p.events, p.pictures);
  return p;
}

}  // namespace pink::vprinter
