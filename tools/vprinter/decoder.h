// The virtual receipt printer's reading of a byte stream: what a receipt
// printer makes of the bytes that the suite's spoolers and printer library
// send it (and of the common ESC/POS commands an integrator's own software
// sends). Pure: bytes in, a list of events out.
//
// The stream is read as
// - text runs: bytes 0x20..0x7E and 0x80..0xFF, kept as cp949 bytes;
// - line ends: CR LF, LF alone, CR alone;
// - commands: the entries of kCommands below, matched on their prefix
//   (the longest prefix wins) and read by one routine after their shape;
// - any other control byte (NUL, 0x7F, an ESC that starts no known command)
//   as a control event of its own; reading goes on with the next byte;
// - Korean mode (FS & ... FS .): every two bytes below 0x80 are one cp949
//   character with the top bit of each byte cleared, as the spoolers' Korean
//   double-byte mode sends them. The character's bytes may look like control
//   bytes (a lead byte 0x9B masked is ESC), so inside Korean mode only FS .
//   is a command; a byte 0x80 or above there is read as plain text.
//
// A command, or a Korean character, that the end of the stream cuts off is
// one truncated event holding the bytes that came; nothing is read past the
// end.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pink::vprinter {

// What a command does; one table entry each.
enum class Op : std::uint8_t {
  Initialise,          // ESC @
  Justify,             // ESC a n
  PrintMode,           // ESC ! n
  Emphasis,            // ESC E n
  Underline,           // ESC - n
  FeedLines,           // ESC d n
  DefaultLineSpacing,  // ESC 2
  LineSpacing,         // ESC 3 n
  DrawerPulse,         // ESC p m t1 t2
  SelectDevice,        // ESC = n
  RasterRows,          // ESC V nL nH d...
  BarCode,             // GS k m ...
  BarCodeHeight,       // GS h n
  BarCodeWidth,        // GS w n
  HriFont,             // GS f n
  HriPosition,         // GS H n
  CharacterSize,       // GS ! n
  Cut,                 // GS V m [n]
  DefineBitImage,      // GS * x y d...
  PrintBitImage,       // GS / m
  PrintLogo,           // GS G n
  MotionUnits,         // GS P x y
  PrintNvImage,        // FS p n m
  KoreanOn,            // FS &
  KoreanOff,           // FS .
  Buzzer,              // FS b n t1 t2
  SelectLogo,          // US 0 n
  LogoStart,           // DC2 ~ n
  LogoRowsBegin,       // DC2 z 0 a b
  LogoRowsEnd,         // DC2 z 1 a
  DoubleStrike,        // ESC G n
  SelectFont,          // ESC M n
  FeedDots,            // ESC J n
  FullCutNow,          // ESC i
  PartialCutNow,       // ESC m
  Reverse,             // GS B n
  LineBitImage,        // ESC * m nL nH d...
  RasterImage,         // GS v 0 m xL xH yL yH d...
};

// How the bytes after a command's prefix are read.
enum class Shape : std::uint8_t {
  Fixed,       // `arg_count` argument bytes (possibly none)
  Buzzer,      // n, then two 16-bit little-endian values
  BarCode,     // m; m 0..6: data up to a NUL (which ends the command);
               // m 65 and above: a length byte and that many data bytes;
               // any other m: nothing more (what follows is read as usual)
  Cut,         // m; m 65 and above: one more byte n
  BitImage,    // x y, then x * y * 8 data bytes
  RasterRows,  // nL nH, then (nL + 256 nH) rows of kRasterRowBytes data bytes
  LineBitImage,  // m nL nH; m 0, 1: nL + 256 nH data bytes; m 32, 33: three
                 // times as many; any other m: nothing more
  RasterImage,   // m xL xH yL yH, then (xL + 256 xH) * (yL + 256 yH) data bytes
};

struct CommandEntry {
  std::array<std::uint8_t, 3> prefix;
  std::uint8_t prefix_size;
  std::string_view name;  // mnemonic, "GS k"
  Op op;
  Shape shape;
  std::uint8_t arg_count;  // Shape::Fixed only

  std::span<const std::uint8_t> prefix_bytes() const { return {prefix.data(), prefix_size}; }
};

// One row of the parallel-port logo: 576 dots, 72 bytes, bit 7 the leftmost dot.
inline constexpr std::size_t kRasterRowBytes = 72;
inline constexpr std::uint32_t kRasterRowDots = 576;

// Control bytes that begin commands.
inline constexpr std::uint8_t kDc2 = 0x12;
inline constexpr std::uint8_t kEsc = 0x1B;
inline constexpr std::uint8_t kFs = 0x1C;
inline constexpr std::uint8_t kGs = 0x1D;
inline constexpr std::uint8_t kUs = 0x1F;

// clang-format off
inline constexpr std::array kCommands{
    // ESC @: initialise the printer.
    CommandEntry{{kEsc, 0x40}, 2, "ESC @", Op::Initialise, Shape::Fixed, 0},
    // ESC a n: justification; n 0/'0' left, 1/'1' centre, 2/'2' right.
    CommandEntry{{kEsc, 0x61}, 2, "ESC a", Op::Justify, Shape::Fixed, 1},
    // ESC ! n: print mode bits (font B, emphasis, double height and width, underline).
    CommandEntry{{kEsc, 0x21}, 2, "ESC !", Op::PrintMode, Shape::Fixed, 1},
    // ESC E n: emphasis off / on (bit 0).
    CommandEntry{{kEsc, 0x45}, 2, "ESC E", Op::Emphasis, Shape::Fixed, 1},
    // ESC - n: underline off, 1 dot, 2 dots.
    CommandEntry{{kEsc, 0x2D}, 2, "ESC -", Op::Underline, Shape::Fixed, 1},
    // ESC d n: print and feed n lines.
    CommandEntry{{kEsc, 0x64}, 2, "ESC d", Op::FeedLines, Shape::Fixed, 1},
    // ESC 2: default line spacing; ESC 3 n: line spacing of n motion units.
    CommandEntry{{kEsc, 0x32}, 2, "ESC 2", Op::DefaultLineSpacing, Shape::Fixed, 0},
    CommandEntry{{kEsc, 0x33}, 2, "ESC 3", Op::LineSpacing, Shape::Fixed, 1},
    // ESC p m t1 t2: drawer kick-out pulse on pin m (0/'0' pin 2, 1/'1' pin 5),
    // on for t1 and off for t2 units of 2 ms.
    CommandEntry{{kEsc, 0x70}, 2, "ESC p", Op::DrawerPulse, Shape::Fixed, 3},
    // ESC = n: select the peripheral device (bit 0: the printer).
    CommandEntry{{kEsc, 0x3D}, 2, "ESC =", Op::SelectDevice, Shape::Fixed, 1},
    // ESC V nL nH d...: raster rows of 576 dots, as the parallel-port logo sends
    // them one row at a time (1B 56 01 00 and 72 bytes).
    CommandEntry{{kEsc, 0x56}, 2, "ESC V", Op::RasterRows, Shape::RasterRows, 0},
    // GS k m ...: print a bar code of system m.
    CommandEntry{{kGs, 0x6B}, 2, "GS k", Op::BarCode, Shape::BarCode, 0},
    // GS h n: bar code height in dots; GS w n: module width.
    CommandEntry{{kGs, 0x68}, 2, "GS h", Op::BarCodeHeight, Shape::Fixed, 1},
    CommandEntry{{kGs, 0x77}, 2, "GS w", Op::BarCodeWidth, Shape::Fixed, 1},
    // GS f n: font of the human-readable interpretation (HRI) of bar codes.
    CommandEntry{{kGs, 0x66}, 2, "GS f", Op::HriFont, Shape::Fixed, 1},
    // GS H n: HRI position: none, above, below, both.
    CommandEntry{{kGs, 0x48}, 2, "GS H", Op::HriPosition, Shape::Fixed, 1},
    // GS ! n: character size, width (high nibble) and height (low nibble) factors - 1.
    CommandEntry{{kGs, 0x21}, 2, "GS !", Op::CharacterSize, Shape::Fixed, 1},
    // GS V m [n]: cut the paper (m 65, 66: after feeding n).
    CommandEntry{{kGs, 0x56}, 2, "GS V", Op::Cut, Shape::Cut, 0},
    // GS * x y d1..dk: define a downloaded bit image of x*8 by y*8 dots;
    // k = x*y*8, column after column, y bytes a column, bit 7 the top dot.
    CommandEntry{{kGs, 0x2A}, 2, "GS *", Op::DefineBitImage, Shape::BitImage, 0},
    // GS / m: print the downloaded bit image; m 0..3 / '0'..'3' normal,
    // double width, double height, quadruple.
    CommandEntry{{kGs, 0x2F}, 2, "GS /", Op::PrintBitImage, Shape::Fixed, 1},
    // GS G n: print the stored logo (the spoolers send 1D 47 30).
    CommandEntry{{kGs, 0x47}, 2, "GS G", Op::PrintLogo, Shape::Fixed, 1},
    // GS P x y: horizontal and vertical motion units.
    CommandEntry{{kGs, 0x50}, 2, "GS P", Op::MotionUnits, Shape::Fixed, 2},
    // FS p n m: print NV bit image n in size mode m.
    CommandEntry{{kFs, 0x70}, 2, "FS p", Op::PrintNvImage, Shape::Fixed, 2},
    // FS &, FS .: Korean (double-byte) mode on and off.
    CommandEntry{{kFs, 0x26}, 2, "FS &", Op::KoreanOn, Shape::Fixed, 0},
    CommandEntry{{kFs, 0x2E}, 2, "FS .", Op::KoreanOff, Shape::Fixed, 0},
    // FS b n t1 t2: buzzer signal n with two 16-bit little-endian durations
    // (1C 62 01 F4 01 FA 00: signal 1, 500, 250).
    CommandEntry{{kFs, 0x62}, 2, "FS b", Op::Buzzer, Shape::Buzzer, 0},
    // US 0 n: select the stored logo n (one printer dialect; followed by GS /).
    CommandEntry{{kUs, 0x30}, 2, "US 0", Op::SelectLogo, Shape::Fixed, 1},
    // The parallel-port logo: DC2 ~ d (12 7E 64) starts it, DC2 z 0 (12 7A 00 48 21)
    // begins its raster rows, DC2 z 1 (12 7A 01 00) ends them.
    CommandEntry{{kDc2, 0x7E}, 2, "DC2 ~", Op::LogoStart, Shape::Fixed, 1},
    CommandEntry{{kDc2, 0x7A, 0x00}, 3, "DC2 z 0", Op::LogoRowsBegin, Shape::Fixed, 2},
    CommandEntry{{kDc2, 0x7A, 0x01}, 3, "DC2 z 1", Op::LogoRowsEnd, Shape::Fixed, 1},
    // ESC G n: double strike off / on (bit 0); prints like emphasis.
    CommandEntry{{kEsc, 0x47}, 2, "ESC G", Op::DoubleStrike, Shape::Fixed, 1},
    // ESC M n: character font, 0/'0' font A (12 x 24), 1/'1' font B (9 x 17).
    CommandEntry{{kEsc, 0x4D}, 2, "ESC M", Op::SelectFont, Shape::Fixed, 1},
    // ESC J n: print and feed n motion units.
    CommandEntry{{kEsc, 0x4A}, 2, "ESC J", Op::FeedDots, Shape::Fixed, 1},
    // ESC i, ESC m: full and partial cut at once.
    CommandEntry{{kEsc, 0x69}, 2, "ESC i", Op::FullCutNow, Shape::Fixed, 0},
    CommandEntry{{kEsc, 0x6D}, 2, "ESC m", Op::PartialCutNow, Shape::Fixed, 0},
    // GS B n: white on black (reverse) off / on (bit 0).
    CommandEntry{{kGs, 0x42}, 2, "GS B", Op::Reverse, Shape::Fixed, 1},
    // ESC * m nL nH d...: a bit image in the line, nL + 256 nH columns; m 0 and
    // 1 are 8 dots high (single, double density across), m 32 and 33 are 24
    // dots high (3 bytes a column, the top byte first); bit 7 the top dot.
    CommandEntry{{kEsc, 0x2A}, 2, "ESC *", Op::LineBitImage, Shape::LineBitImage, 0},
    // GS v 0 m xL xH yL yH d...: a raster bit image of (xL + 256 xH) bytes
    // across and (yL + 256 yH) rows, bit 7 the leftmost dot; m 0..3 / '0'..'3'
    // normal, double width, double height, quadruple.
    CommandEntry{{kGs, 0x76, 0x30}, 3, "GS v 0", Op::RasterImage, Shape::RasterImage, 0},
};
// clang-format on

// The table entry of an operation.
const CommandEntry& command_entry(Op op);

enum class EventKind : std::uint8_t {
  Text,       // data: cp949 bytes (Korean-mode characters with their top bits set again)
  LineEnd,    // line_end tells which
  Command,    // command, args, data
  Control,    // data: the one control byte no command claimed (NUL shows here)
  Truncated,  // data: the bytes from the start of the cut-off command to the end
};

enum class LineEnd : std::uint8_t { CrLf, Lf, Cr };

struct Event {
  EventKind kind = EventKind::Text;
  std::size_t offset = 0;  // where the event starts in the stream
  std::size_t size = 0;    // how many stream bytes it takes
  // Command: the table entry. Truncated: the entry when the bytes that came
  // name one; null when they could begin several (a lone ESC) or were a
  // Korean character.
  const CommandEntry* command = nullptr;
  // Command: the argument values in order (16-bit values read as such; for
  // GS k with m >= 65 the length byte is the second argument).
  std::vector<std::uint32_t> args;
  // Text, Control, Truncated: see EventKind. Command: the data after the
  // arguments (bar code data, image bytes, raster rows), else empty.
  std::string data;
  LineEnd line_end = LineEnd::CrLf;
  // Text read in Korean mode; a Truncated Korean character.
  bool korean = false;

  bool operator==(const Event&) const = default;
};

std::vector<Event> decode(std::span<const std::uint8_t> stream);

// Convenience for callers holding the stream in a string.
std::vector<Event> decode(std::string_view stream);

}  // namespace pink::vprinter
