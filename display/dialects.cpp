#include "display/dialects.h"

#include <algorithm>

#include "display/sequences.h"
#include "platform/text.h"

namespace pink::display {
namespace {

constexpr Piece fixed(std::span<const std::uint8_t> bytes) { return Piece{bytes}; }
constexpr Piece line(std::uint8_t n, Fit fit = Fit::AsIs, std::uint8_t width = 0) {
  return Piece{{}, n, fit, width};
}
constexpr Step write(Piece a) { return Step{false, {a, Piece{}}, 1}; }
constexpr Step write(Piece a, Piece joined) { return Step{false, {a, joined}, 2}; }
constexpr Step kClearOutput{true, {}, 0};

// The pieces the dialects are made of.
constexpr Piece kInit = fixed(seq::kInitialise);  // ESC @
constexpr Piece kVt = fixed(seq::kHome);
constexpr Piece kFf = fixed(seq::kClear);
constexpr Piece kCr = fixed(seq::kCarriageReturn);
constexpr Piece kLine1 = line(1);
constexpr Piece kLine2 = line(2);
constexpr Piece kLine3 = line(3);

// "1": the three lines one after the other, each from the first column.
constexpr std::array kSteps1{write(kInit), write(kLine1), kClearOutput, write(kCr),   write(kLine2),
                             kClearOutput, write(kCr),    write(kLine3), kClearOutput};
// "4", "5": label and amount in one write of two 20-byte halves.
constexpr std::array kSteps4{write(kInit), write(kVt),
                             write(line(1, Fit::RightBytes, 20), line(3, Fit::LeftBytes, 20)),
                             kClearOutput};
// "6": the amount alone on a cleared screen.
constexpr std::array kSteps6{write(kInit), write(kFf), write(kVt), write(kLine3), kClearOutput};
// "7": like "4" with line 2 as the amount.
constexpr std::array kSteps7{write(kInit), write(kVt),
                             write(line(1, Fit::RightBytes, 20), line(2, Fit::LeftBytes, 20)),
                             kClearOutput};
// "8": a 10-byte label.
constexpr std::array kSteps8{write(kInit), write(kFf), write(kVt),
                             write(line(1, Fit::RightBytes, 10), kLine3), kClearOutput};
// "9": a 12-byte label, no initialisation.
constexpr std::array kSteps9{write(kFf), write(line(1, Fit::RightBytes, 12), kLine3), kClearOutput};
// "C": a 32-byte label (a 32-column display).
constexpr std::array kStepsC{write(kInit), write(kVt), write(line(1, Fit::RightBytes, 32), kLine3),
                             kClearOutput};
// "G": the amount alone, on a graphic display.
constexpr std::array kStepsG{write(fixed(seq::kBraceClear)), write(kCr), write(kLine3)};
// "H": reset, overwrite mode, a label of 20 characters.
constexpr std::array kStepsH{write(fixed(seq::kReset)), write(fixed(seq::kOverwriteMode)),
                             write(line(1, Fit::RightChars, 20), kLine3)};
// "I", "K": label on row 1, amount on row 2 of a graphic display.
constexpr std::array kStepsI{write(fixed(seq::kBraceClear)), write(fixed(seq::kBraceHome)),
                             write(kLine1), write(fixed(seq::kLineFeedReturn)), write(kLine3)};
// "L": the same with ESC [ sequences, each row addressed.
constexpr std::array kStepsL{write(fixed(seq::kBracketClear)),
                             write(fixed(seq::kBracketRow1), kLine1),
                             write(fixed(seq::kBracketRow2), kLine3)};

constexpr int kBuffer512 = 512;
constexpr int kKeepBuffer = 0;
constexpr std::string_view kKeepSettings{};
constexpr std::string_view kOddParity = "9600,O,8,1";

constexpr std::array kDialects{
    Dialect{'1', kBuffer512, kKeepSettings, kSteps1,
            "ESC @, then lines 1, 2 and 3, each after a carriage return"},
    Dialect{'4', kBuffer512, kKeepSettings, kSteps4,
            "line 1 padded to 20 bytes, line 3 right-aligned in 20 bytes"},
    Dialect{'5', kBuffer512, kKeepSettings, kSteps4, "the same as 4"},
    Dialect{'6', kBuffer512, kKeepSettings, kSteps6, "line 3 alone on a cleared screen"},
    Dialect{'7', kBuffer512, kKeepSettings, kSteps7,
            "line 1 padded to 20 bytes, line 2 right-aligned in 20 bytes"},
    Dialect{'8', kBuffer512, kKeepSettings, kSteps8,
            "cleared screen, line 1 padded to 10 bytes, then line 3"},
    Dialect{'9', kBuffer512, kKeepSettings, kSteps9,
            "cleared screen (no ESC @), line 1 padded to 12 bytes, then line 3"},
    Dialect{'C', kBuffer512, kKeepSettings, kStepsC, "line 1 padded to 32 bytes, then line 3"},
    Dialect{'G', kKeepBuffer, kKeepSettings, kStepsG, "ESC { 2 J, line 3 alone"},
    Dialect{'H', kKeepBuffer, kKeepSettings, kStepsH,
            "reset, overwrite mode, line 1 padded to 20 characters, then line 3"},
    Dialect{'I', kKeepBuffer, kKeepSettings, kStepsI,
            "ESC { 2 J, line 1 on row 1, line 3 on row 2"},
    Dialect{'K', kKeepBuffer, kKeepSettings, kStepsI, "the same as I"},
    Dialect{'L', kKeepBuffer, kOddParity, kStepsL,
            "odd parity; ESC [ 2 J, line 1 on row 1, line 3 on row 2"},
};

const std::string& text_of(const Texts& texts, std::uint8_t n) {
  switch (n) {
    case 1:
      return texts.line1;
    case 2:
      return texts.line2;
    default:
      return texts.line3;
  }
}

std::string piece_bytes(const Piece& piece, const Texts& texts) {
  if (piece.line == 0) return {piece.fixed.begin(), piece.fixed.end()};
  return fit_text(text_of(texts, piece.line), piece.fit, piece.width);
}

}  // namespace

const Dialect* find_dialect(std::string_view type_code) noexcept {
  if (type_code.size() != 1) return nullptr;
  const auto found = std::find_if(kDialects.begin(), kDialects.end(),
                                  [&](const Dialect& d) { return d.code == type_code[0]; });
  return found == kDialects.end() ? nullptr : &*found;
}

std::span<const Dialect> dialects() noexcept { return kDialects; }

std::string fit_text(std::string_view text, Fit fit, std::size_t width) {
  const std::size_t length = fit == Fit::RightChars ? text::char_count(text) : text.size();
  const std::size_t missing = length < width ? width - length : 0;
  switch (fit) {
    case Fit::AsIs:
      break;
    case Fit::RightBytes:
    case Fit::RightChars:
      return std::string(text) + std::string(missing, ' ');
    case Fit::LeftBytes:
      return std::string(missing, ' ') + std::string(text);
  }
  return std::string(text);
}

std::vector<Action> plan(const Dialect& dialect, const Texts& texts) {
  std::vector<Action> actions;
  actions.reserve(dialect.steps.size());
  for (const Step& step : dialect.steps) {
    Action action{step.clear, {}};
    for (std::size_t i = 0; i < step.count && i < step.pieces.size(); ++i) {
      action.bytes += piece_bytes(step.pieces[i], texts);
    }
    actions.push_back(std::move(action));
  }
  return actions;
}

}  // namespace pink::display
