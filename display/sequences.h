// Control sequences of the customer display poles, as the bytes that reach the
// display. Every sequence is built here from its named parts, once; the
// drivers, the display pole program and the virtual display all take them from
// this header.
//
// Three command families are in use:
//   - the single control bytes of character displays: VT (cursor home),
//     FF (clear screen, cursor home), CR (cursor to the first column), LF
//     (cursor one row down), US (reset) and DC1 (overwrite mode);
//   - ESC @ (initialise) and ESC l column row (cursor to a position, both as
//     binary numbers counted from 1);
//   - the terminal-style sequences of graphic displays, introduced by ESC {
//     or, on some models, ESC [: "row ; column H" moves the cursor (numbers
//     as decimal digits, counted from 1), "2 J" clears the screen.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace pink::display::seq {

// The named parts.
inline constexpr std::uint8_t NUL = 0x00;  // ends every text that ldisp sends
inline constexpr std::uint8_t LF = 0x0A;   // cursor one row down
inline constexpr std::uint8_t VT = 0x0B;   // cursor home
inline constexpr std::uint8_t FF = 0x0C;   // clear screen, cursor home
inline constexpr std::uint8_t CR = 0x0D;   // cursor to the first column
inline constexpr std::uint8_t DC1 = 0x11;  // overwrite mode
inline constexpr std::uint8_t ESC = 0x1B;
inline constexpr std::uint8_t US = 0x1F;   // reset the display

inline constexpr std::uint8_t kInitialiseFinal = '@';     // ESC @
inline constexpr std::uint8_t kPositionIntro = 'l';       // ESC l column row
inline constexpr std::uint8_t kBraceIntro = '{';          // ESC { ...
inline constexpr std::uint8_t kBracketIntro = '[';        // ESC [ ...
inline constexpr std::uint8_t kParamSeparator = ';';
inline constexpr std::uint8_t kCursorFinal = 'H';         // row ; column H
inline constexpr std::uint8_t kClearFinal = 'J';          // 2 J
inline constexpr std::uint8_t kClearWholeScreen = '2';    // the argument of "2 J"

// A sequence of bytes given as numbers or characters.
template <typename... Parts>
constexpr std::array<std::uint8_t, sizeof...(Parts)> bytes(Parts... parts) {
  return {static_cast<std::uint8_t>(parts)...};
}

// The decimal digit of a row or column 1..9.
constexpr std::uint8_t digit(int n) { return static_cast<std::uint8_t>('0' + n); }

// ESC @: initialise.
inline constexpr auto kInitialise = bytes(ESC, kInitialiseFinal);

// ESC <intro> 2 J: clear the screen (the cursor stays where it is).
constexpr std::array<std::uint8_t, 4> clear_screen(std::uint8_t intro) {
  return bytes(ESC, intro, kClearWholeScreen, kClearFinal);
}

// ESC <intro> row ; column H: cursor to a row and column (one digit each).
constexpr std::array<std::uint8_t, 6> cursor_to(std::uint8_t intro, int row, int column) {
  return bytes(ESC, intro, digit(row), kParamSeparator, digit(column), kCursorFinal);
}

inline constexpr auto kBraceClear = clear_screen(kBraceIntro);            // ESC { 2 J
inline constexpr auto kBraceHome = cursor_to(kBraceIntro, 1, 1);          // ESC { 1 ; 1 H
inline constexpr auto kBracketClear = clear_screen(kBracketIntro);        // ESC [ 2 J
inline constexpr auto kBracketRow1 = cursor_to(kBracketIntro, 1, 1);      // ESC [ 1 ; 1 H
inline constexpr auto kBracketRow2 = cursor_to(kBracketIntro, 2, 1);      // ESC [ 2 ; 1 H

// The single control bytes as one-byte sequences.
inline constexpr auto kHome = bytes(VT);
inline constexpr auto kClear = bytes(FF);
inline constexpr auto kCarriageReturn = bytes(CR);
inline constexpr auto kLineFeedReturn = bytes(LF, CR);
inline constexpr auto kReset = bytes(US);
inline constexpr auto kOverwriteMode = bytes(DC1);

// ESC l column row: cursor to a position, both as binary numbers from 1 (the
// 20-column driver always sends column 1).
constexpr std::array<std::uint8_t, 4> position(std::uint8_t column, std::uint8_t row) {
  return bytes(ESC, kPositionIntro, column, row);
}

// The cursor command of the graphic driver: ESC { row ; 1 H with the row as
// a digit.
constexpr std::array<std::uint8_t, 6> brace_cursor_row(int row) { return cursor_to(kBraceIntro, row, 1); }

}  // namespace pink::display::seq
