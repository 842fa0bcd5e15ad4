// The message checksum; the PIN field, PAN field and the two PIN
// encryptions, checked step by step with OpenSSL and the library's
// configured keys.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "payment/corvanavan/api.h"
#include "payment/corvanavan/keys.h"
#include "payment/corvanavan/pinblock.h"

namespace pink::corvanavan {
namespace {

using des::Block;

std::string arc(const char* data, short length) {
  char out[6] = {'#', '#', '#', '#', '#', '#'};
  EXPECT_EQ(api::make_arc(data, length, out), 0);
  EXPECT_EQ(std::string(out + 4, 2), "##");  // four digits, no terminating zero
  return std::string(out, 4);
}

TEST(CorvanaVanChecksum, MakeArcDigits) {
  EXPECT_EQ(arc("123456789", 9), "BB3D");     // the CRC-16/ARC check value
  EXPECT_EQ(arc("123456789xyz", 9), "BB3D");  // only the first `length` bytes
  EXPECT_EQ(arc("CA", 2), "00F1");            // leading zeros kept
  EXPECT_EQ(arc("anything", 0), "0000");
  EXPECT_EQ(arc("anything", -5), "0000");
  EXPECT_EQ(arc(nullptr, 10), "0000");
  EXPECT_EQ(api::make_arc("abc", 3, nullptr), 0);
  // The bytes count as given, 00 bytes too.
  EXPECT_NE(arc("A\0B", 3), arc("A", 1));
}

TEST(CorvanaVanChecksum, UserMakeArcTakesTheLeadingDigitsAsASixteenBitLength) {
  const std::pair<const char*, const char*> cases[] = {
      {"9", "BB3D"}, {"9 bytes", "BB3D"}, {"65545", "BB3D"},  // 65545 as 16 bits is 9
      {"40000", "0000"},                                       // negative as 16 bits: no bytes
      {"1234567890", "0000"}, {"0", "0000"}, {"abc", "0000"}, {"", "0000"}, {nullptr, "0000"}};
  for (const auto& [length, digits] : cases) {
    char* b = api::user_make_arc("123456789", length);
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(b, digits) << (length ? length : "(null)");  // a terminated block
    api::free_block(b);
  }
}

Block hex(const std::string& s) { return pin::hex_decode(s); }

// Reference DES from OpenSSL.
Block openssl_des(bool encrypt, const Block& data, const Block& key) {
  DES_cblock k, in, out;
  std::memcpy(k, key.data(), 8);
  std::memcpy(in, data.data(), 8);
  DES_key_schedule schedule;
  DES_set_key_unchecked(&k, &schedule);
  DES_ecb_encrypt(&in, &out, &schedule, encrypt ? DES_ENCRYPT : DES_DECRYPT);
  Block b{};
  std::memcpy(b.data(), out, 8);
  return b;
}

std::string ref_des(bool encrypt, const std::string& data_hex, const std::string& key_hex) {
  return pin::hex_encode(openssl_des(encrypt, hex(data_hex), hex(key_hex)));
}

std::string master_key_hex(int index) {
  return std::string(keys::pin_master_key_table().substr(
      static_cast<std::size_t>(index) * keys::kMasterKeyEntrySize + keys::kMasterKeyOffset, 16));
}

TEST(CorvanaVanPinKeys, TableLayout) {
  const std::string_view table = keys::pin_master_key_table();
  ASSERT_EQ(table.size(), 260u);
  ASSERT_EQ(keys::pin_fixed_key().size(), 16u);
  for (int i = 0; i < 10; ++i) {
    const std::string_view entry = table.substr(static_cast<std::size_t>(i) * 26, 26);
    EXPECT_EQ(entry.substr(0, 6), std::string("0") + static_cast<char>('0' + i) + "    ");
    EXPECT_EQ(entry.substr(22, 4), "    ");
    EXPECT_EQ(pin::hex_encode(hex(std::string(entry.substr(6, 16)))), entry.substr(6, 16));
  }
}

TEST(CorvanaVanHex, DigitsOfEitherCaseAndTheArithmeticForOthers) {
  EXPECT_EQ(pin::hex_encode(hex("0123456789abcdef")), "0123456789ABCDEF");
  // 'G' is 71: 71 - 55 = 16, low four bits 0. ' ' is 32: 32 - 48, low bits 0.
  EXPECT_EQ(pin::hex_encode(hex("GG  FFFFFFFFFFFF")), "0000FFFFFFFFFFFF");
  // Digits missing at the end read as 0.
  EXPECT_EQ(pin::hex_encode(hex("ABC")), "ABC0000000000000");
}

TEST(CorvanaVanPinField, LengthDigitsAndFill) {
  EXPECT_EQ(pin::pin_field("1234"), "041234FFFFFFFFFF");
  EXPECT_EQ(pin::pin_field("1234 99"), "041234FFFFFFFFFF");  // cut at the blank
  EXPECT_EQ(pin::pin_field("123456789 "), "09123456789FFFFF");
  EXPECT_EQ(pin::pin_field(""), "00FFFFFFFFFFFFFF");
  EXPECT_EQ(pin::pin_field("1234567890"), std::nullopt);  // more than nine digits
}

TEST(CorvanaVanPanField, TwelveDigitsOfTheCardNumber) {
  // 16 digits, no blank: digits 4 to 15 (counted from 1).
  EXPECT_EQ(pin::pan_field("4012345678901234"), "0000234567890123");
  // 15 digits and a blank: digits 4 to 15 as well.
  EXPECT_EQ(pin::pan_field("401234567890123 "), "0000234567890123");
  // A blank selects the twelve before it.
  EXPECT_EQ(pin::pan_field("4000001234562 "), "0000000001234562");
  EXPECT_EQ(pin::pan_field("123456789012 rest"), "0000123456789012");
  // A blank beyond the first 16 characters is not looked for.
  EXPECT_EQ(pin::pan_field("4012345678901234567 "), "0000234567890123");
  // Outside the rules: refused.
  EXPECT_EQ(pin::pan_field("12345678901 "), std::nullopt);  // blank at index 11
  EXPECT_EQ(pin::pan_field(" 4012345678901234"), std::nullopt);
  EXPECT_EQ(pin::pan_field("40123456789012"), std::nullopt);  // 14 digits, no blank
}

TEST(CorvanaVanEncryptPin, PinFieldUnderTheFixedKey) {
  const std::string fixed(keys::pin_fixed_key());
  // Only the first four characters count; a blank cuts the PIN short.
  const std::pair<const char*, const char*> cases[] = {
      {"1234", "041234FFFFFFFFFF"}, {"123456", "041234FFFFFFFFFF"},
      {"12 4", "0212FFFFFFFFFFFF"}, {"12", "0212FFFFFFFFFFFF"}};
  for (const auto& [pin_text, field] : cases) {
    char out[18];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(api::encrypt_pin(pin_text, out), 16);
    EXPECT_EQ(std::string(out, 18), ref_des(true, field, fixed) + "##") << pin_text;  // no terminating zero
  }
  char untouched[16] = {'#'};
  EXPECT_EQ(api::encrypt_pin(nullptr, untouched), 0);
  EXPECT_EQ(api::encrypt_pin("1234", nullptr), 0);
  EXPECT_EQ(untouched[0], '#');
}

TEST(CorvanaVanEncPinData, Iso9564Format0BlockUnderTheWorkingKey) {
  const std::string wk = "1F2E3D4C5B6A7988";
  struct Case {
    const char *card, *pin;
    std::string index, key, master;
    const char* pin_block;  // PIN field XOR PAN field
  };
  std::vector<Case> cases;
  for (int i = 0; i < 10; ++i) {
    cases.push_back({"4000001234562000", "1234", "0" + std::to_string(i), wk, master_key_hex(i),
                     "041234FEDCBA9DFF"});
  }
  // Lower-case working key digits are the same key; a 15-digit card number
  // and a blank; a PIN cut at its blank.
  cases.push_back({"4012345678901234", "987654", "03", "1f2e3d4c5b6a7988", master_key_hex(3), "069855119876FEDC"});
  cases.push_back({"401234567890123 ", "4321 ", "07", wk, master_key_hex(7), "044302BA9876FEDC"});
  // An index the table does not hold: the all-zero master key.
  for (const char* index : {"10", "99", "0", "ab"})
    cases.push_back({"4012345678901234", "1234", index, wk, std::string(16, '0'), "041217BA9876FEDC"});

  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.card) + " " + c.pin + " " + c.index);
    char out[17];
    std::memset(out, '#', sizeof out);
    ASSERT_EQ(api::enc_pin_data(c.card, c.pin, c.index.c_str(), c.key.c_str(), out), 1);
    const std::string working_key = ref_des(false, wk, c.master);
    EXPECT_EQ(std::string(out, 17), ref_des(true, c.pin_block, working_key) + "#");  // no terminating zero
  }
}

TEST(CorvanaVanEncPinData, EmptyOrOutOfRuleTextsAreRefused) {
  const char* wk = "1F2E3D4C5B6A7988";
  struct Case {
    const char *what, *card, *pin, *index, *key;
  };
  std::vector<Case> cases = {
      {"blank before the twelfth character", "40123456789 1234", "1234", "01", wk},
      {"short card number", "4012345678", "1234", "01", wk},
      {"ten-digit PIN", "4012345678901234", "1234567890", "01", wk},
      {"three-character index", "4012345678901234", "1234", "012", wk},
      {"17-digit working key", "4012345678901234", "1234", "01", "1F2E3D4C5B6A79881"},
  };
  // Each of the four texts empty or missing.
  for (int text = 0; text < 4; ++text) {
    for (const char* nothing : {"", static_cast<const char*>(nullptr)}) {
      Case c{nothing ? "empty" : "null", "4012345678901234", "1234", "01", wk};
      (text == 0 ? c.card : text == 1 ? c.pin : text == 2 ? c.index : c.key) = nothing;
      cases.push_back(c);
    }
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.what << " " << (c.card ? c.card : "-") << " " << (c.pin ? c.pin : "-")
                                      << " " << (c.index ? c.index : "-") << " " << (c.key ? c.key : "-"));
    char out[17];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(api::enc_pin_data(c.card, c.pin, c.index, c.key, out), 0);
    EXPECT_EQ(std::string(out, 17), std::string(17, '#'));
  }
  EXPECT_EQ(api::enc_pin_data("4012345678901234", "1234", "01", wk, nullptr), 0);
}

}  // namespace
}  // namespace pink::corvanavan
