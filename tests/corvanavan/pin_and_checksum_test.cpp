// The message checksum; DES against published known answers and OpenSSL's
// DES; the PIN field, PAN field and the two PIN encryptions, checked step by
// step with OpenSSL and the library's configured keys.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "payment/corvanavan/api.h"
#include "payment/corvanavan/des.h"
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

// The classic worked example, then a sample of the variable-plaintext and
// variable-key known-answer tables of the DES validation suite (NIST SP 800-17).
TEST(CorvanaVanDes, KnownAnswersBothWays) {
  const char* const answers[][3] = {
      {"133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
      {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
      {"0101010101010101", "0400000000000000", "55579380D77138EF"},
      {"0101010101010101", "0020000000000000", "B8061B7ECD9A21E5"},
      {"0101010101010101", "0001000000000000", "F356834379D165CD"},
      {"0101010101010101", "0000080000000000", "E7FCE22557D23C97"},
      {"0101010101010101", "0000004000000000", "64FEED9C724C2FAF"},
      {"0101010101010101", "0000000200000000", "E428581186EC8F46"},
      {"0101010101010101", "0000000010000000", "FA0752B07D9C4AB8"},
      {"0101010101010101", "0000000000800000", "25EB5FC3F8CF0621"},
      {"0101010101010101", "0000000000040000", "EA51D3975595B86B"},
      {"0101010101010101", "0000000000002000", "1D1CA853AE7C0C5F"},
      {"0101010101010101", "0000000000000100", "DD7C0BBD61FAFD54"},
      {"0101010101010101", "0000000000000008", "CC083F1E6D9E85F6"},
      {"0101010101010101", "0000000000000001", "166B40B44ABA4BD6"},
      {"8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
      {"0801010101010101", "0000000000000000", "809F5F873C1FD761"},
      {"0140010101010101", "0000000000000000", "DF3B99D6577397C8"},
      {"0102010101010101", "0000000000000000", "A8468EE3BC18F06D"},
      {"0101080101010101", "0000000000000000", "882BFF0AA01A0B87"},
      {"0101020101010101", "0000000000000000", "C71516C29C75D170"},
  };
  for (const auto& [key, plain, cipher] : answers) {
    SCOPED_TRACE(std::string(key) + " " + plain);
    EXPECT_EQ(pin::hex_encode(des::crypt(des::kEncrypt, hex(plain), hex(key))), cipher);
    EXPECT_EQ(pin::hex_encode(des::crypt(des::kDecrypt, hex(cipher), hex(key))), plain);
  }
  // Any direction other than 1 decrypts.
  for (int direction : {0, 2, -1}) {
    EXPECT_EQ(pin::hex_encode(des::crypt(direction, hex("85E813540F0AB405"), hex("133457799BBCDFF1"))),
              "0123456789ABCDEF");
  }
}

TEST(CorvanaVanDes, AgreesWithOpenSslAndIgnoresParityBits) {
  std::mt19937_64 random(0x5EEDC0DEu);
  auto block = [&] {
    Block b{};
    const std::uint64_t v = random();
    for (std::size_t i = 0; i < 8; ++i) b[i] = static_cast<std::uint8_t>(v >> (8 * i));
    return b;
  };
  for (int i = 0; i < 3000; ++i) {
    Block key = block();
    const Block data = block();
    const Block encrypted = des::crypt(des::kEncrypt, data, key);
    ASSERT_EQ(encrypted, openssl_des(true, data, key)) << i;
    ASSERT_EQ(des::crypt(des::kDecrypt, data, key), openssl_des(false, data, key)) << i;
    for (auto& b : key) b ^= 0x01;
    ASSERT_EQ(des::crypt(des::kEncrypt, data, key), encrypted) << i;
  }
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
