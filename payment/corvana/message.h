// The request message sent to the payment network and the first checks of
// its response, as pure functions over cp949 bytes.
//
// Positions in a message count characters from 1, where a byte of 0x80 or
// above and the byte after it form one double-byte character and any other
// byte is a character of its own.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "payment/corvana/fields.h"

namespace pink::corvana {

// Byte length of the character at `pos` (1 or 2; 0 at or past the end).
std::size_t char_bytes(std::string_view text, std::size_t pos) noexcept;
// Number of characters.
std::size_t char_count(std::string_view text) noexcept;
// Up to `count` characters from character position `first` (1-based); empty
// when the text is shorter.
std::string_view mid(std::string_view text, std::size_t first,
                     std::size_t count = std::string_view::npos) noexcept;

// The part of the request text that the checksum covers: all but its first
// two characters.
std::string_view checksum_input(std::string_view request) noexcept;
// The request text, "004" and the four checksum digits.
std::string request_message(std::string_view request, const std::array<char, 4>& checksum);

// The response text of a receive of `count` bytes: the buffer from its first
// byte up to a zero byte, looking at no more than count + 1 bytes (the library
// stores a zero right behind what it received). A double-byte character whose
// second byte would be the zero, or lie beyond what is looked at, is
// incomplete and ends the text before it.
std::string response_text(std::span<const std::uint8_t> buffer, std::int32_t count);

// True for the empty text and for a text of blanks only.
bool is_blank(std::string_view text) noexcept;

// Message type: characters 13 to 16.
std::string_view message_type(std::string_view response) noexcept;
// The kind of a response of type "0910" (deal code at characters 33-34: "10"
// CF, "11" CS) or "9910" (RF); nullopt for anything else.
std::optional<Kind> response_kind(std::string_view response) noexcept;
// The bitmap: characters 17 to 32 (shorter when the response is).
std::string_view bitmap_text(std::string_view response) noexcept;
// The data area: characters 33 to the end.
std::string_view data_area(std::string_view response) noexcept;

// Job, network address and port of the command line "job/address/port".
struct Command {
  std::string job;
  std::string address;
  std::int16_t port = 0;
};
// Throws pink::Failure when the line has fewer than three parts or the port
// is not a 16-bit decimal number; parts behind the third are ignored.
Command parse_command(std::string_view line);

// A byte count handed to the library as a 16-bit length. Throws
// pink::Failure (Overflow) above 32767 instead of passing a wrapped length.
std::int16_t short_length(std::size_t bytes);

}  // namespace pink::corvana
