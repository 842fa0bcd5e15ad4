// PIN field, PAN field and the two PIN encryptions, checked against OpenSSL's
// DES and the library's configured keys.
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

// Reference DES from OpenSSL, on hex texts.
std::string ref_des(bool encrypt, const std::string& data_hex, const std::string& key_hex) {
  const Block data = pin::hex_decode(data_hex);
  const Block key = pin::hex_decode(key_hex);
  DES_cblock k;
  DES_cblock in;
  DES_cblock out;
  std::memcpy(k, key.data(), 8);
  std::memcpy(in, data.data(), 8);
  DES_key_schedule schedule;
  DES_set_key_unchecked(&k, &schedule);
  DES_ecb_encrypt(&in, &out, &schedule, encrypt ? DES_ENCRYPT : DES_DECRYPT);
  Block b{};
  std::memcpy(b.data(), out, 8);
  return pin::hex_encode(b);
}

std::string xor_hex(const std::string& a, const std::string& b) {
  const Block x = pin::hex_decode(a);
  const Block y = pin::hex_decode(b);
  Block z{};
  for (std::size_t i = 0; i < 8; ++i) z[i] = x[i] ^ y[i];
  return pin::hex_encode(z);
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
    EXPECT_EQ(entry.substr(0, 2), std::string("0") + static_cast<char>('0' + i));
    EXPECT_EQ(entry.substr(2, 4), "    ");
    EXPECT_EQ(entry.substr(22, 4), "    ");
    EXPECT_EQ(pin::hex_encode(pin::hex_decode(entry.substr(6, 16))), entry.substr(6, 16));
  }
}

TEST(CorvanaVanHex, DigitsOfEitherCaseAndTheArithmeticForOthers) {
  EXPECT_EQ(pin::hex_encode(pin::hex_decode("0123456789abcdef")), "0123456789ABCDEF");
  // 'G' is 71: 71 - 55 = 16, low four bits 0. ' ' is 32: 32 - 48, low bits 0.
  EXPECT_EQ(pin::hex_encode(pin::hex_decode("GG  FFFFFFFFFFFF")), "0000FFFFFFFFFFFF");
  // Digits missing at the end read as 0.
  EXPECT_EQ(pin::hex_encode(pin::hex_decode("ABC")), "ABC0000000000000");
}

TEST(CorvanaVanPinField, LengthDigitsAndFill) {
  EXPECT_EQ(pin::pin_field("1234"), "041234FFFFFFFFFF");
  EXPECT_EQ(pin::pin_field("1234 99"), "041234FFFFFFFFFF");  // cut at the blank
  EXPECT_EQ(pin::pin_field("123456789"), "09123456789FFFFF");
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
  char out[18];
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(api::encrypt_pin("1234", out), 16);
  EXPECT_EQ(std::string(out, 16), ref_des(true, "041234FFFFFFFFFF", fixed));
  EXPECT_EQ(out[16], '#');  // no terminating zero

  // Only the first four characters count; a blank cuts the PIN short.
  char more[16];
  EXPECT_EQ(api::encrypt_pin("123456", more), 16);
  EXPECT_EQ(std::string(more, 16), std::string(out, 16));
  EXPECT_EQ(api::encrypt_pin("12 4", more), 16);
  EXPECT_EQ(std::string(more, 16), ref_des(true, "0212FFFFFFFFFFFF", fixed));
  EXPECT_EQ(api::encrypt_pin("12", more), 16);
  EXPECT_EQ(std::string(more, 16), ref_des(true, "0212FFFFFFFFFFFF", fixed));

  std::memset(more, '#', sizeof more);
  EXPECT_EQ(api::encrypt_pin(nullptr, more), 0);
  EXPECT_EQ(api::encrypt_pin("1234", nullptr), 0);
  EXPECT_EQ(more[0], '#');
}

class CorvanaVanEncPinData : public ::testing::Test {
 protected:
  // What the library must produce, step by step with OpenSSL.
  static std::string expected(const std::string& master, const std::string& wk_encrypted,
                              const std::string& pin_field, const std::string& pan_field) {
    const std::string working_key = ref_des(false, wk_encrypted, master);
    return ref_des(true, xor_hex(pin_field, pan_field), working_key);
  }
  int run(const char* card, const char* pin, const char* index, const char* key) {
    std::memset(out, '#', sizeof out);
    return api::enc_pin_data(card, pin, index, key, out);
  }
  std::string result() const { return std::string(out, 16); }
  char out[17];
};

TEST_F(CorvanaVanEncPinData, Iso9564Format0BlockUnderTheWorkingKey) {
  const std::string wk = "1F2E3D4C5B6A7988";
  for (int i = 0; i < 10; ++i) {
    const std::string index = std::string("0") + static_cast<char>('0' + i);
    SCOPED_TRACE(index);
    EXPECT_EQ(run("4000001234562000", "1234", index.c_str(), wk.c_str()), 1);
    EXPECT_EQ(result(), expected(master_key_hex(i), wk, "041234FFFFFFFFFF", "0000000123456200"));
    EXPECT_EQ(out[16], '#');
    // The block under the encryption is the format 0 block of the example.
    const std::string working_key = ref_des(false, wk, master_key_hex(i));
    EXPECT_EQ(ref_des(false, result(), working_key), "041234FEDCBA9DFF");
  }
}

TEST_F(CorvanaVanEncPinData, TextsAsTheRulesReadThem) {
  const std::string wk = "1F2E3D4C5B6A7988";
  // Lower-case working key digits are the same key.
  ASSERT_EQ(run("4012345678901234", "987654", "03", "1f2e3d4c5b6a7988"), 1);
  EXPECT_EQ(result(), expected(master_key_hex(3), wk, "06987654FFFFFFFF", "0000234567890123"));
  // A 15-digit card number and a blank; a PIN cut at its blank.
  ASSERT_EQ(run("401234567890123 ", "4321 ", "07", wk.c_str()), 1);
  EXPECT_EQ(result(), expected(master_key_hex(7), wk, "044321FFFFFFFFFF", "0000234567890123"));
  // An index the table does not hold: the all-zero master key.
  for (const char* index : {"10", "99", "0", "ab"}) {
    SCOPED_TRACE(index);
    ASSERT_EQ(run("4012345678901234", "1234", index, wk.c_str()), 1);
    EXPECT_EQ(result(), expected("0000000000000000", wk, "041234FFFFFFFFFF", "0000234567890123"));
  }
}

TEST_F(CorvanaVanEncPinData, EmptyOrOutOfRuleTextsAreRefused) {
  const char* wk = "1F2E3D4C5B6A7988";
  struct Case {
    const char *what, *card, *pin, *index, *key;
  };
  const Case cases[] = {
      {"empty card", "", "1234", "01", wk},
      {"empty pin", "4012345678901234", "", "01", wk},
      {"empty index", "4012345678901234", "1234", "", wk},
      {"empty key", "4012345678901234", "1234", "01", ""},
      {"null card", nullptr, "1234", "01", wk},
      {"null pin", "4012345678901234", nullptr, "01", wk},
      {"null index", "4012345678901234", "1234", nullptr, wk},
      {"null key", "4012345678901234", "1234", "01", nullptr},
      {"blank before the twelfth character", "40123456789 1234", "1234", "01", wk},
      {"short card number", "4012345678", "1234", "01", wk},
      {"ten-digit PIN", "4012345678901234", "1234567890", "01", wk},
      {"three-character index", "4012345678901234", "1234", "012", wk},
      {"17-digit working key", "4012345678901234", "1234", "01", "1F2E3D4C5B6A79881"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(run(c.card, c.pin, c.index, c.key), 0);
    EXPECT_EQ(std::string(out, 17), std::string(17, '#'));
  }
  EXPECT_EQ(api::enc_pin_data("4012345678901234", "1234", "01", wk, nullptr), 0);
}

}  // namespace
}  // namespace pink::corvanavan
