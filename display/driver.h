// The customer display drivers ldisp, ldisp2 and gdisp as rows of one table,
// and the bytes their PdsWrite sends. Pure: no I/O.
//
//   ldisp   COM6  raw: the caller's text (control codes included) and the
//                 0x00 that ends it, through a 52-byte buffer
//   ldisp2  COM4  ESC l 1 row, then a 20-byte text field
//   gdisp   COM4  ESC { row ; 1 H, then a 32-byte text field
//
// Every driver runs its line at 9600 baud, 8 data bits, no parity, one stop
// bit, with XON/XOFF both ways.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "serialline/serialline.h"

namespace pink::display {

// How PdsWrite builds its bytes.
enum class Writer : std::uint8_t {
  Raw,          // the text and its terminating 0x00, nothing added
  Position,     // ESC l 1 row, then the field
  BraceCursor,  // ESC { row ; 1 H, then the field
};

struct Driver {
  std::string_view name;
  serialline::Record line;
  Writer writer;
  std::size_t field_bytes;  // text field of the formatted writers; 0 for Raw
};

enum DriverId : std::size_t { kLdisp = 0, kLdisp2 = 1, kGdisp = 2 };

inline constexpr serialline::Record display_line(std::uint8_t port) {
  return {.port = port, .baud = 9600, .data_bits = 8, .parity = 0, .stop_bits = 0,
          .flow = serialline::kFlowXonXoff};
}

inline constexpr std::array<Driver, 3> kDrivers{{
    {"ldisp", display_line(6), Writer::Raw, 0},
    {"ldisp2", display_line(4), Writer::Position, 20},
    {"gdisp", display_line(4), Writer::BraceCursor, 32},
}};

// The raw writer's buffer: at most 51 text bytes and the 0x00 after them.
inline constexpr std::size_t kRawBuffer = 52;
inline constexpr std::size_t kRawTextMax = kRawBuffer - 1;

// The rows of a two-line display.
inline constexpr std::int32_t kFirstRow = 1;
inline constexpr std::int32_t kLastRow = 2;

// The bytes of a NUL-terminated text up to its NUL, at most `max` of them;
// never reads past the NUL or past `max` bytes. A null pointer is the empty
// text.
std::span<const std::uint8_t> bounded_text(const char* text, std::size_t max) noexcept;

// Line numbers below 1 become 1, above 2 become 2.
std::int32_t clamp_row(std::int32_t line) noexcept;

// Scans the field from its first byte: a byte of 0x7F or above opens a
// two-byte character whose second byte is passed over; one in the last
// position is replaced by a space, so that the field never ends in half a
// character.
void fix_double_byte(std::span<std::uint8_t> field) noexcept;

// ldisp: the text copied into a zero-filled 52-byte buffer (at most 51 bytes
// of it) and the first length + 1 bytes of the buffer, with the length taken
// into 0..51: so 1 to 52 bytes, never a byte past the buffer. With length =
// the text's length that is the text and its 0x00.
std::vector<std::uint8_t> raw_write(std::span<const std::uint8_t> text, std::int32_t length);

// ldisp2, gdisp: cursor command for the clamped row, then the text field
// filled with spaces, the text copied over it (at most the field's length)
// and the double-byte fix-up applied.
std::vector<std::uint8_t> formatted_write(const Driver& driver, std::int32_t line,
                                          std::span<const std::uint8_t> text);

}  // namespace pink::display
