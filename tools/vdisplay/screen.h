// The virtual customer display: reads the bytes a display pole receives and
// keeps what its two rows show, with a transcript of the commands. Pure: bytes
// in, screen state and transcript lines out. What each command does is
// described in tools/vdisplay/README.md.
//
//   vdisplay::Screen screen(20);
//   for (auto& line : screen.feed(bytes)) std::cout << line << "\n";
//   for (auto& line : screen.finish()) std::cout << line << "\n";
//   std::cout << vdisplay::framed(screen);
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pink::vdisplay {

inline constexpr std::size_t kRows = 2;
inline constexpr std::size_t kDefaultWidth = 20;   // a character display
inline constexpr std::size_t kGraphicWidth = 32;   // a graphic display's text rows
inline constexpr std::size_t kMinWidth = 2;        // room for one Korean character
inline constexpr std::size_t kMaxWidth = 80;

// The column where the meaning of a transcript line starts.
inline constexpr std::size_t kMeaningColumn = 22;

class Screen {
 public:
  // `width` is clamped into kMinWidth..kMaxWidth.
  explicit Screen(std::size_t width = kDefaultWidth);

  // Reads bytes as the display does, continuing where the last call stopped
  // (a command or a Korean character may span calls). Returns the transcript
  // lines of what these bytes completed; a run of text is reported when
  // something other than text follows it, or at finish().
  std::vector<std::string> feed(std::span<const std::uint8_t> bytes);

  // The end of the stream: reports the text run still open and a command or
  // character that the end cut off.
  std::vector<std::string> finish();

  // Row 1 or 2 as the customer sees it, UTF-8, exactly `width` columns wide
  // (a Korean character takes two).
  std::string row(std::size_t r) const;
  std::size_t width() const noexcept { return width_; }
  // The cursor, counted from 1.
  std::size_t cursor_row() const noexcept { return row_ + 1; }
  std::size_t cursor_column() const noexcept { return col_ + 1; }

 private:
  enum class Half : std::uint8_t { Single, Left, Right };
  struct Cell {
    std::uint8_t first = ' ';
    std::uint8_t second = 0;
    Half half = Half::Single;
  };
  enum class State : std::uint8_t { Ground, Lead, Escape, Position, Params };

  void ground(std::uint8_t b, std::vector<std::string>& out);
  void control(std::uint8_t b, std::vector<std::string>& out);
  void escape(std::uint8_t b, std::vector<std::string>& out);
  void position(std::vector<std::string>& out);
  bool params(std::uint8_t b, std::vector<std::string>& out);
  void finish_params(std::uint8_t final_byte, std::vector<std::string>& out);

  void put_single(std::uint8_t b);
  void put_double(std::uint8_t lead, std::uint8_t trail);
  // Puts a cell at an index of cells_; a Korean character that loses one
  // half loses the other too.
  void set_at(std::size_t i, Cell cell);
  void advance(std::size_t columns);
  void clear_range(std::size_t from, std::size_t to);  // cell indexes over both rows, [from, to)
  void home() { row_ = col_ = 0; }
  std::string move_to(std::size_t row, std::size_t column);

  void text_byte(std::uint8_t b);
  void text_shown(const std::string& shown);
  void flush_text(std::vector<std::string>& out);
  static std::string line(const std::string& mnemonic, const std::string& meaning);

  std::size_t width_;
  std::vector<Cell> cells_;  // row-major, kRows x width_
  std::size_t row_ = 0, col_ = 0;
  State state_ = State::Ground;
  std::vector<std::uint8_t> pending_;  // bytes of the command or character being read
  std::string run_;                    // the text run being read, as shown in the transcript
  std::size_t run_row_ = 0, run_col_ = 0;
};

// The two rows in a frame of "+", "-" and "|", one line each, ending with a
// line feed.
std::string framed(const Screen& screen);

// Everything the display makes of a whole stream: the transcript lines and
// the frame.
std::string show(std::span<const std::uint8_t> stream, std::size_t width);

}  // namespace pink::vdisplay
