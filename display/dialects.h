// The display pole dialects of the pds program: one row per display type
// code, read by one routine. Pure: no I/O.
//
// A dialect sets up the port (the serial control's output buffer, or other
// line settings) and then sends a list of steps. A step is either one Output
// write, made of up to two pieces joined together, or "clear", which discards
// what may still wait in the control's output buffer. A piece is either fixed
// bytes or one of the three texts (line 1, 2 or 3), possibly padded.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pink::display {

// How a text is fitted to its width. Padding never cuts: a text as long as the
// width or longer is sent unchanged.
enum class Fit : std::uint8_t {
  AsIs,
  RightBytes,  // spaces appended up to `width` bytes (cp949: 2 per Korean character)
  LeftBytes,   // spaces put in front up to `width` bytes
  RightChars,  // spaces appended up to `width` characters
};

struct Piece {
  std::span<const std::uint8_t> fixed{};  // fixed bytes, when `line` is 0
  std::uint8_t line = 0;                  // 1..3: the text of that line
  Fit fit = Fit::AsIs;
  std::uint8_t width = 0;
};

struct Step {
  bool clear = false;            // "clear": OutBufferCount = 0
  std::array<Piece, 2> pieces{};  // one Output write of the pieces joined
  std::uint8_t count = 0;         // pieces in use
};

struct Dialect {
  char code;                    // the type code, compared case-sensitively
  int out_buffer_size;          // OutBufferSize to set before opening; 0 = leave it
  std::string_view settings;    // Settings to set before opening; "" = leave them
  std::span<const Step> steps;
  std::string_view summary;     // what the display shows, for the program's help
};

// The three texts of the mailbox (cp949).
struct Texts {
  std::string line1;
  std::string line2;
  std::string line3;
};

// What the program does on the open port, in order: an Output write of
// `bytes`, or (clear) OutBufferCount = 0.
struct Action {
  bool clear = false;
  std::string bytes;
  bool operator==(const Action&) const = default;
};

// The dialect of a type code, or null for any other text (the empty text, a
// lower-case letter, more than one character).
const Dialect* find_dialect(std::string_view type_code) noexcept;

// Every dialect, in the order of the table.
std::span<const Dialect> dialects() noexcept;

// A text fitted to its width.
std::string fit_text(std::string_view text, Fit fit, std::size_t width);

// The actions of a dialect for the given texts.
std::vector<Action> plan(const Dialect& dialect, const Texts& texts);

}  // namespace pink::display
