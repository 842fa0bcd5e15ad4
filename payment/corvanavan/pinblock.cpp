#include "payment/corvanavan/pinblock.h"

#include <cstdio>

#include "payment/corvanavan/keys.h"

namespace pink::corvanavan::pin {
namespace {

constexpr std::size_t kFieldDigits = 16;
constexpr std::size_t kPanDigits = 12;
constexpr std::size_t kPanSearch = 16;          // a blank is looked for here
constexpr std::size_t kPanDefaultStart = 3;     // indices 3 to 14 without one
constexpr std::size_t kMaxKeyIndex = 2;

std::uint8_t nibble(char c) {
  const int code = static_cast<unsigned char>(c);
  return static_cast<std::uint8_t>((code >= 58 ? code - 55 : code - 48) & 0xF);
}

}  // namespace

std::string hex_encode(const Block& block) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(kFieldDigits);
  for (std::uint8_t b : block) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
  }
  return out;
}

Block hex_decode(std::string_view digits) {
  auto at = [&](std::size_t i) { return i < digits.size() ? digits[i] : '\0'; };
  Block out{};
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<std::uint8_t>((nibble(at(2 * i)) << 4) | nibble(at(2 * i + 1)));
  }
  return out;
}

std::optional<std::string> pin_field(std::string_view pin_text) {
  const std::string_view pin = pin_text.substr(0, pin_text.find(' '));
  if (pin.size() > kMaxPinDigits) return std::nullopt;
  char field[kFieldDigits + 1];
  std::snprintf(field, sizeof field, "%02dFFFFFFFFFFFFFF", static_cast<int>(pin.size()));
  pin.copy(field + 2, pin.size());
  return std::string(field, kFieldDigits);
}

std::optional<std::string> pan_field(std::string_view card_number) {
  const std::string_view searched = card_number.substr(0, kPanSearch);
  const std::size_t blank = searched.find(' ');
  std::size_t start = kPanDefaultStart;
  if (blank != std::string_view::npos) {
    if (blank < kPanDigits) return std::nullopt;
    start = blank - kPanDigits;
  } else if (card_number.size() < kPanDefaultStart + kPanDigits) {
    return std::nullopt;
  }
  return "0000" + std::string(card_number.substr(start, kPanDigits));
}

Block master_key(std::string_view index) {
  const std::string_view table = keys::pin_master_key_table();
  for (std::size_t e = 0; e < keys::kMasterKeyEntries; ++e) {
    const std::string_view entry = table.substr(e * keys::kMasterKeyEntrySize, keys::kMasterKeyEntrySize);
    if (index.size() >= 2 && index.substr(0, 2) == entry.substr(0, 2)) {
      return hex_decode(entry.substr(keys::kMasterKeyOffset, kFieldDigits));
    }
  }
  return Block{};
}

std::string encrypt_pin(std::string_view pin_text) {
  // Four characters can never be refused by pin_field.
  const std::string field = *pin_field(pin_text.substr(0, 4));
  const Block key = hex_decode(keys::pin_fixed_key());
  return hex_encode(des::crypt(des::kEncrypt, hex_decode(field), key));
}

std::optional<std::string> enc_pin_data(std::string_view card_number, std::string_view pin_text,
                                        std::string_view key_index,
                                        std::string_view encrypted_working_key) {
  if (card_number.empty() || pin_text.empty() || key_index.empty() ||
      encrypted_working_key.empty()) {
    return std::nullopt;
  }
  if (key_index.size() > kMaxKeyIndex || encrypted_working_key.size() > kFieldDigits) {
    return std::nullopt;
  }
  const auto pin = pin_field(pin_text);
  const auto pan = pan_field(card_number);
  if (!pin || !pan) return std::nullopt;

  const Block working_key = des::crypt(des::kDecrypt, hex_decode(encrypted_working_key),
                                       master_key(key_index));
  const Block pin_bytes = hex_decode(*pin);
  const Block pan_bytes = hex_decode(*pan);
  Block pin_block{};
  for (std::size_t i = 0; i < pin_block.size(); ++i) pin_block[i] = pin_bytes[i] ^ pan_bytes[i];
  return hex_encode(des::crypt(des::kEncrypt, pin_block, working_key));
}

}  // namespace pink::corvanavan::pin
