#include "tools/vdisplay/screen.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "display/sequences.h"
#include "platform/text.h"

namespace pink::vdisplay {
namespace seq = display::seq;

namespace {

constexpr std::size_t kMaxParamBytes = 8;  // between ESC { (or ESC [) and its final letter
constexpr std::uint8_t kFirstLead = 0x7F;  // this byte and above open a two-byte character
constexpr std::uint8_t kBrokenCell = '?';

// What a single control byte does on this display.
enum class Does : std::uint8_t { Nothing, LineFeed, Home, ClearHome, Return, Overwrite, Reset };

struct ControlByte {
  std::uint8_t byte;
  const char* mnemonic;
  Does does;
  const char* meaning;
};

constexpr std::array kControlBytes{
    ControlByte{seq::NUL, "NUL", Does::Nothing, "ignored"},
    ControlByte{seq::LF, "LF", Does::LineFeed, "cursor down a row"},
    ControlByte{seq::VT, "VT", Does::Home, "cursor home"},
    ControlByte{seq::FF, "FF", Does::ClearHome, "clear, cursor home"},
    ControlByte{seq::CR, "CR", Does::Return, "cursor to column 1"},
    ControlByte{seq::DC1, "DC1", Does::Overwrite, "overwrite mode"},
    ControlByte{seq::US, "US", Does::Reset, "reset: clear, cursor home, overwrite mode"},
};

std::string hex(std::uint8_t b) {
  static constexpr char kDigits[] = "0123456789abcdef";
  return {'<', kDigits[b >> 4], kDigits[b & 0x0F], '>'};
}

// A byte of a command as written in a mnemonic: the character, or <hh>.
std::string shown_byte(std::uint8_t b) {
  return b > 0x20 && b < 0x7F ? std::string(1, static_cast<char>(b)) : hex(b);
}

// Columns that UTF-8 text takes on a terminal: a character of three bytes or
// more (Korean among them) takes two.
std::size_t terminal_columns(std::string_view utf8) {
  std::size_t columns = 0;
  for (const char ch : utf8) {
    const auto b = static_cast<std::uint8_t>(ch);
    if (b < 0x80 || (b >= 0xC0 && b < 0xE0)) columns += 1;
    if (b >= 0xE0) columns += 2;
  }
  return columns;
}

bool is_text(std::uint8_t b) { return b >= 0x20; }

// The character of a two-byte cp949 code, UTF-8; nothing for a code that is
// no Korean character.
std::optional<std::string> korean(std::uint8_t first, std::uint8_t second) {
  if (first < 0x81 || first == 0xFF) return std::nullopt;
  const std::string code{static_cast<char>(first), static_cast<char>(second)};
  if (!text::is_valid_cp949(code)) return std::nullopt;
  return text::cp949_to_utf8(code);
}

// Decimal parameters between the introducer and the final letter ("1;1").
std::vector<std::size_t> numbers(std::span<const std::uint8_t> params) {
  std::vector<std::size_t> out{0};
  for (const std::uint8_t b : params) {
    if (b == seq::kParamSeparator) {
      out.push_back(0);
    } else {
      out.back() = out.back() * 10 + (b - '0');
    }
  }
  return out;
}

// "ESC { 1 ; 1 H": the numbers as written, separators set apart.
std::string params_mnemonic(std::uint8_t intro, std::span<const std::uint8_t> raw, std::uint8_t final_byte) {
  std::string mnemonic = "ESC " + shown_byte(intro);
  std::vector<std::string> tokens{""};
  for (const std::uint8_t b : raw) {
    if (b == seq::kParamSeparator) {
      tokens.emplace_back();
    } else {
      tokens.back() += static_cast<char>(b);
    }
  }
  for (std::size_t i = 0; i < tokens.size() && !raw.empty(); ++i) {
    if (!tokens[i].empty()) mnemonic += " " + tokens[i];
    if (i + 1 < tokens.size()) mnemonic += " ;";
  }
  return mnemonic + " " + shown_byte(final_byte);
}

}  // namespace

Screen::Screen(std::size_t width)
    : width_(std::clamp(width, kMinWidth, kMaxWidth)), cells_(kRows * width_) {}

std::string Screen::line(const std::string& mnemonic, const std::string& meaning) {
  const std::size_t columns = terminal_columns(mnemonic);
  return mnemonic + std::string(columns < kMeaningColumn ? kMeaningColumn - columns : 1, ' ') + meaning;
}

std::vector<std::string> Screen::feed(std::span<const std::uint8_t> bytes) {
  std::vector<std::string> out;
  for (const std::uint8_t b : bytes) {
    switch (state_) {
      case State::Ground:
        ground(b, out);
        break;
      case State::Lead: {
        const std::uint8_t lead = pending_.front();
        pending_.clear();
        state_ = State::Ground;
        if (is_text(b)) {
          put_double(lead, b);
          const auto k = korean(lead, b);
          text_shown(k ? *k : hex(lead) + hex(b));
        } else {  // half a character: the display shows it as broken
          put_single(kBrokenCell);
          text_shown(hex(lead));
          ground(b, out);
        }
        break;
      }
      case State::Escape:
        escape(b, out);
        break;
      case State::Position:
        pending_.push_back(b);
        if (pending_.size() == 4) position(out);
        break;
      case State::Params:
        if (!params(b, out)) ground(b, out);
        break;
    }
  }
  return out;
}

void Screen::ground(std::uint8_t b, std::vector<std::string>& out) {
  if (b >= kFirstLead) {
    if (run_.empty()) run_row_ = row_, run_col_ = col_;
    pending_ = {b};
    state_ = State::Lead;
  } else if (is_text(b)) {
    text_byte(b);
  } else if (b == seq::ESC) {
    flush_text(out);
    pending_ = {b};
    state_ = State::Escape;
  } else {
    flush_text(out);
    control(b, out);
  }
}

void Screen::control(std::uint8_t b, std::vector<std::string>& out) {
  const auto* c = std::find_if(kControlBytes.begin(), kControlBytes.end(),
                               [b](const ControlByte& k) { return k.byte == b; });
  if (c == kControlBytes.end()) {
    out.push_back(line(hex(b), "unknown control byte, ignored"));
    return;
  }
  std::string meaning = c->meaning;
  switch (c->does) {
    case Does::Nothing:
    case Does::Overwrite:  // the only mode of this display
      break;
    case Does::LineFeed:
      row_ = (row_ + 1) % kRows;
      meaning = "cursor to row " + std::to_string(row_ + 1) + (row_ == 0 ? " (from the last row)" : "");
      break;
    case Does::Home:
      home();
      break;
    case Does::ClearHome:
    case Does::Reset:
      clear_range(0, cells_.size());
      home();
      break;
    case Does::Return:
      col_ = 0;
      break;
  }
  out.push_back(line(c->mnemonic, meaning));
}

void Screen::escape(std::uint8_t b, std::vector<std::string>& out) {
  pending_.push_back(b);
  if (b == seq::kInitialiseFinal) {
    clear_range(0, cells_.size());
    home();
    out.push_back(line("ESC @", "initialise: clear, cursor home, overwrite mode"));
  } else if (b == seq::kPositionIntro) {
    state_ = State::Position;
    return;
  } else if (b == seq::kBraceIntro || b == seq::kBracketIntro) {
    state_ = State::Params;
    return;
  } else {
    out.push_back(line("ESC " + shown_byte(b), "unknown command, ignored"));
  }
  pending_.clear();
  state_ = State::Ground;
}

void Screen::position(std::vector<std::string>& out) {
  const std::uint8_t column = pending_[2];
  const std::uint8_t row = pending_[3];
  pending_.clear();
  state_ = State::Ground;
  out.push_back(line("ESC l " + std::to_string(column) + " " + std::to_string(row), move_to(row, column)));
}

bool Screen::params(std::uint8_t b, std::vector<std::string>& out) {
  const bool param_byte = (b >= '0' && b <= '9') || b == seq::kParamSeparator;
  if (param_byte && pending_.size() < 2 + kMaxParamBytes) {
    pending_.push_back(b);
    return true;
  }
  if (b >= 0x40 && b <= 0x7E) {
    finish_params(b, out);
    return true;
  }
  // Not a sequence this display knows: it gives up on it and reads the byte afresh.
  std::string mnemonic = "ESC";
  for (std::size_t i = 1; i < pending_.size(); ++i) mnemonic += " " + shown_byte(pending_[i]);
  out.push_back(line(mnemonic, "unfinished sequence, ignored"));
  pending_.clear();
  state_ = State::Ground;
  return false;
}

void Screen::finish_params(std::uint8_t final_byte, std::vector<std::string>& out) {
  const std::span<const std::uint8_t> raw(pending_.data() + 2, pending_.size() - 2);
  const std::string mnemonic = params_mnemonic(pending_[1], raw, final_byte);
  const std::vector<std::size_t> n = numbers(raw);
  std::string meaning;
  if (final_byte == seq::kCursorFinal) {
    meaning = move_to(n[0], n.size() > 1 ? n[1] : 1);
  } else if (final_byte == seq::kClearFinal && n[0] <= 2) {
    const std::size_t cursor = row_ * width_ + col_;
    static constexpr const char* kClears[] = {"clear from the cursor to the end", "clear from the start to the cursor",
                                              "clear the screen (the cursor stays)"};
    if (n[0] == 0) clear_range(cursor, cells_.size());
    if (n[0] == 1) clear_range(0, cursor + 1);
    if (n[0] == 2) clear_range(0, cells_.size());
    meaning = kClears[n[0]];
  } else {
    meaning = "unknown command, ignored";
  }
  pending_.clear();
  state_ = State::Ground;
  out.push_back(line(mnemonic, meaning));
}

std::string Screen::move_to(std::size_t row, std::size_t column) {
  const std::size_t r = std::clamp<std::size_t>(row, 1, kRows);
  const std::size_t c = std::clamp<std::size_t>(column, 1, width_);
  row_ = r - 1;
  col_ = c - 1;
  std::string meaning = "cursor to row " + std::to_string(r) + ", column " + std::to_string(c);
  if (r != row || c != column) {
    meaning += " (asked for row " + std::to_string(row) + ", column " + std::to_string(column) + ")";
  }
  return meaning;
}

std::vector<std::string> Screen::finish() {
  std::vector<std::string> out;
  flush_text(out);
  if (state_ == State::Lead) {
    out.push_back(line(hex(pending_.front()), "half a Korean character, cut off by the end"));
  } else if (state_ != State::Ground) {
    std::string mnemonic = "ESC";
    for (std::size_t i = 1; i < pending_.size(); ++i) mnemonic += " " + shown_byte(pending_[i]);
    out.push_back(line(mnemonic, "cut off by the end"));
  }
  pending_.clear();
  state_ = State::Ground;
  return out;
}

void Screen::set_at(std::size_t i, Cell cell) {
  const std::size_t c = i % width_;
  if (cells_[i].half == Half::Left && c + 1 < width_) cells_[i + 1] = Cell{};
  if (cells_[i].half == Half::Right && c > 0) cells_[i - 1] = Cell{};
  cells_[i] = cell;
}

void Screen::advance(std::size_t columns) {
  col_ += columns;
  if (col_ >= width_) {  // overwrite mode: on to the next row, from the last row to the first
    col_ = 0;
    row_ = (row_ + 1) % kRows;
  }
}

void Screen::put_single(std::uint8_t b) {
  set_at(row_ * width_ + col_, Cell{b, 0, Half::Single});
  advance(1);
}

void Screen::put_double(std::uint8_t lead, std::uint8_t trail) {
  if (col_ + 1 >= width_) {  // one column left: it stays blank, the character goes on
    set_at(row_ * width_ + col_, Cell{});
    advance(1);
  }
  const std::size_t i = row_ * width_ + col_;
  set_at(i, Cell{lead, trail, Half::Left});
  set_at(i + 1, Cell{lead, trail, Half::Right});
  advance(2);
}

void Screen::clear_range(std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to && i < cells_.size(); ++i) set_at(i, Cell{});
}

void Screen::text_byte(std::uint8_t b) {
  if (run_.empty()) run_row_ = row_, run_col_ = col_;
  put_single(b);
  text_shown(b == '"' || b == '<' ? hex(b) : std::string(1, static_cast<char>(b)));
}

void Screen::text_shown(const std::string& shown) { run_ += shown; }

void Screen::flush_text(std::vector<std::string>& out) {
  if (run_.empty()) return;
  out.push_back(line("TEXT \"" + run_ + "\"",
                     "at row " + std::to_string(run_row_ + 1) + ", column " + std::to_string(run_col_ + 1)));
  run_.clear();
}

std::string Screen::row(std::size_t r) const {
  std::string out;
  if (r < 1 || r > kRows) return out;
  for (std::size_t c = 0; c < width_; ++c) {
    const Cell& cell = cells_[(r - 1) * width_ + c];
    if (cell.half == Half::Right) continue;
    if (cell.half == Half::Left) {
      const auto k = korean(cell.first, cell.second);
      out += k ? *k : std::string(2, static_cast<char>(kBrokenCell));
    } else {
      out += cell.first >= 0x20 && cell.first < 0x7F ? static_cast<char>(cell.first) : static_cast<char>(kBrokenCell);
    }
  }
  return out;
}

std::string framed(const Screen& screen) {
  const std::string edge = "+" + std::string(screen.width(), '-') + "+\n";
  std::string out = edge;
  for (std::size_t r = 1; r <= kRows; ++r) out += "|" + screen.row(r) + "|\n";
  return out + edge;
}

std::string show(std::span<const std::uint8_t> stream, std::size_t width) {
  Screen screen(width);
  std::string out;
  for (const auto& l : screen.feed(stream)) out += l + "\n";
  for (const auto& l : screen.finish()) out += l + "\n";
  return out + framed(screen);
}

}  // namespace pink::vdisplay
