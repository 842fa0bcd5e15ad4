// PIN blocks: the PIN field, the PAN field, their XOR (ISO 9564-1 format 0)
// and the two encryptions the payment messages carry. Keys and blocks pass
// between the steps as 16 hexadecimal digits.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "crypto/des.h"

namespace pink::corvanavan {
namespace des = crypto::des;
}

namespace pink::corvanavan::pin {

using des::Block;

// 16 upper-case hexadecimal digits of the 8 bytes, most significant first.
std::string hex_encode(const Block& block);

// 16 digits to 8 bytes. Digits of either case; any other character goes
// through the same arithmetic (code minus 55 from 58 on, minus 48 below, low
// four bits kept), and digits missing at the end of a short text read as 0.
Block hex_decode(std::string_view digits);

// The PIN text ends at its first blank (or its end). More than nine PIN
// digits are refused (nothing is returned).
inline constexpr std::size_t kMaxPinDigits = 9;

// "%02dFFFFFFFFFFFFFF" with the PIN written over it from the third digit:
// "1234" gives "041234FFFFFFFFFF".
std::optional<std::string> pin_field(std::string_view pin_text);

// "0000" and twelve characters of the card number: the twelve before the
// first blank among its first 16 characters, else those at indices 3 to 14.
// Refused when the blank comes before the twelfth character, or when there is
// no blank and the card number is shorter than 15 characters (there would be
// nothing to take).
std::optional<std::string> pan_field(std::string_view card_number);

// The master key of a two-character index ("00" ... "09"); all zero bytes for
// an index the table does not hold.
Block master_key(std::string_view index);

// The PIN (its first four characters) under the fixed key, as 16 digits.
std::string encrypt_pin(std::string_view pin_text);

// The format 0 PIN block of card number and PIN, encrypted under the working
// key that `encrypted_working_key` (16 digits) gives when decrypted under the
// master key of `key_index`. Nothing when a text is empty or outside the
// rules: a key index of more than two characters, a working key of more than
// 16 digits, or a PIN or card number that pin_field / pan_field refuse.
std::optional<std::string> enc_pin_data(std::string_view card_number, std::string_view pin_text,
                                        std::string_view key_index,
                                        std::string_view encrypted_working_key);

}  // namespace pink::corvanavan::pin
