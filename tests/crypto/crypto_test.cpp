// The suite's DES and MD5 against published known answers and against
// OpenSSL's implementations as an independent oracle.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>
#include <openssl/evp.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "crypto/des.h"
#include "crypto/md5.h"

namespace pink::crypto {
namespace {

using des::Block;

std::string hex_of(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (const std::uint8_t b : bytes) {
    s += kDigits[b >> 4];
    s += kDigits[b & 0x0F];
  }
  return s;
}

Block hex(const std::string& s) {
  Block b{};
  for (std::size_t i = 0; i < 8; ++i) b[i] = static_cast<std::uint8_t>(std::stoi(s.substr(2 * i, 2), nullptr, 16));
  return b;
}

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

// The classic worked example, then a sample of the variable-plaintext and
// variable-key known-answer tables of the DES validation suite (NIST SP 800-17).
TEST(Des, KnownAnswersBothWays) {
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
    EXPECT_EQ(hex_of(des::crypt(des::kEncrypt, hex(plain), hex(key))), cipher);
    EXPECT_EQ(hex_of(des::crypt(des::kDecrypt, hex(cipher), hex(key))), plain);
  }
  // Any direction other than 1 decrypts.
  for (int direction : {0, 2, -1}) {
    EXPECT_EQ(hex_of(des::crypt(direction, hex("85E813540F0AB405"), hex("133457799BBCDFF1"))),
              "0123456789ABCDEF");
  }
}

TEST(Des, AgreesWithOpenSslAndIgnoresParityBits) {
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

std::string md5_hex(std::string_view text) {
  return hex_of(md5({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}));
}

// The test suite of RFC 1321.
TEST(Md5, KnownAnswers) {
  EXPECT_EQ(md5_hex(""), "D41D8CD98F00B204E9800998ECF8427E");
  EXPECT_EQ(md5_hex("a"), "0CC175B9C0F1B6A831C399E269772661");
  EXPECT_EQ(md5_hex("abc"), "900150983CD24FB0D6963F7D28E17F72");
  EXPECT_EQ(md5_hex("message digest"), "F96B697D7CB7938D525A2F31AAF161D0");
  EXPECT_EQ(md5_hex("abcdefghijklmnopqrstuvwxyz"), "C3FCD3D76192E4007DFB496CCA67E13B");
  EXPECT_EQ(md5_hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "D174AB98D277D9F5A5611C2C9F419D9F");
  EXPECT_EQ(md5_hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
            "57EDF4A22BE3C955AC49DA2E2107B67A");
}

// Every length around the block and padding boundaries, fed whole and in
// pieces of every size, against OpenSSL.
TEST(Md5, AgreesWithOpenSslForEveryLengthAndEverySplit) {
  std::mt19937 random(0x4D443521u);
  std::vector<std::uint8_t> data(1200);
  for (auto& b : data) b = static_cast<std::uint8_t>(random());
  for (std::size_t n : {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 1105, 1200}) {
    unsigned char expected[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    ASSERT_EQ(EVP_Digest(data.data(), n, expected, &len, EVP_md5(), nullptr), 1);
    const std::string want = hex_of({expected, len});
    EXPECT_EQ(hex_of(md5({data.data(), n})), want) << n;
    for (std::size_t piece = 1; piece <= 70; ++piece) {
      Md5 m;
      for (std::size_t i = 0; i < n; i += piece) m.update({data.data() + i, std::min(piece, n - i)});
      ASSERT_EQ(hex_of(m.digest()), want) << n << " in pieces of " << piece;
    }
  }
}

}  // namespace
}  // namespace pink::crypto
