// The pad frame shared by the three signature pad families:
//   STX, length high, length low, command, data..., ETX, LRC
// For tallypad and stylpad the length counts the bytes from the command
// through ETX (the whole frame is length + 4 bytes) and the LRC is the XOR
// of every byte from the length's high byte through ETX. quillpad sends a
// fixed length per command and a LRC of its own (quill_lrc).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pink::signpad {

// Control bytes on the pads' lines.
inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEtx = 0x03;
inline constexpr std::uint8_t kEnq = 0x05;
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::uint8_t kEsc = 0x1B;
inline constexpr std::uint8_t kFs = 0x1C;

using Bytes = std::vector<std::uint8_t>;

// XOR of bytes 1 .. end of `frame` (everything but the leading STX); give it
// the frame up to and including ETX.
std::uint8_t lrc(std::span<const std::uint8_t> frame);

// STX, length (command through ETX), command, data, ETX, LRC.
Bytes frame(std::uint8_t command, std::span<const std::uint8_t> data);

// quillpad's LRC over a frame up to and including ETX: starting from 0 (13
// when the first byte is not STX), the XOR of the bytes after the first one,
// sent with bit 0x20 set.
std::uint8_t quill_lrc(std::span<const std::uint8_t> frame);

// A text field of a frame: cp949 text with trailing blanks removed, then cut
// to `width` bytes or padded on the right with spaces to it.
std::string field(std::string_view cp949, std::size_t width);

// Appends text bytes to a frame under construction.
void append(Bytes& out, std::string_view bytes);

}  // namespace pink::signpad
