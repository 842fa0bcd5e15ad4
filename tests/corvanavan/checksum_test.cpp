// The message checksum (make_arc, user_make_arc).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "payment/corvanavan/api.h"
#include "payment/corvanavan/checksum.h"

namespace pink::corvanavan {
namespace {

std::string arc(const std::string& data, short length) {
  char out[6] = {'#', '#', '#', '#', '#', '#'};
  EXPECT_EQ(api::make_arc(data.c_str(), length, out), 0);
  EXPECT_EQ(std::string(out + 4, 2), "##");  // four digits, no terminating zero
  return std::string(out, 4);
}

TEST(CorvanaVanChecksum, Crc16ArcTableAndCheckValue) {
  EXPECT_EQ(kCrc16ArcTable[0], 0x0000);
  EXPECT_EQ(kCrc16ArcTable[1], 0xC0C1);
  EXPECT_EQ(kCrc16ArcTable[2], 0xC181);
  EXPECT_EQ(kCrc16ArcTable[0x80], 0xA001);
  EXPECT_EQ(kCrc16ArcTable[0xFF], 0x4040);
  const std::string check = "123456789";
  EXPECT_EQ(crc16_arc({reinterpret_cast<const std::uint8_t*>(check.data()), check.size()}),
            0xBB3D);
}

TEST(CorvanaVanChecksum, MakeArcDigits) {
  EXPECT_EQ(arc("123456789", 9), "BB3D");  // upper case, most significant first
  EXPECT_EQ(arc("123456789xyz", 9), "BB3D");  // only the first `length` bytes
  EXPECT_EQ(arc("CA", 2), "00F1");           // leading zeros kept
  EXPECT_EQ(arc("anything", 0), "0000");
  EXPECT_EQ(arc("anything", -5), "0000");
  // The bytes count as given, 00 bytes too.
  char out[4];
  api::make_arc("A\0B", 3, out);
  EXPECT_NE(std::string(out, 4), arc("A", 1));
}

TEST(CorvanaVanChecksum, MakeArcWithNullPointers) {
  char out[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(api::make_arc(nullptr, 10, out), 0);
  EXPECT_EQ(std::string(out, 4), "0000");
  EXPECT_EQ(api::make_arc("abc", 3, nullptr), 0);
}

TEST(CorvanaVanChecksum, UserMakeArcGivesATerminatedBlock) {
  char* b = api::user_make_arc("123456789", "9");
  ASSERT_NE(b, nullptr);
  EXPECT_STREQ(b, "BB3D");
  api::free_block(b);

  // The length comes from the leading digits of its text.
  b = api::user_make_arc("123456789", "9 bytes");
  EXPECT_STREQ(b, "BB3D");
  api::free_block(b);

  for (const char* nothing : {"1234567890", "0", "abc", ""}) {
    SCOPED_TRACE(nothing);
    b = api::user_make_arc("123456789", nothing);
    EXPECT_STREQ(b, "0000");
    api::free_block(b);
  }
  b = api::user_make_arc("123", nullptr);
  EXPECT_STREQ(b, "0000");
  api::free_block(b);
}

TEST(CorvanaVanChecksum, UserMakeArcLengthIsSixteenBits) {
  // 65545 taken as a 16-bit value is 9.
  const std::string data = "123456789";
  char* b = api::user_make_arc(data.c_str(), "65545");
  EXPECT_STREQ(b, "BB3D");
  api::free_block(b);
  // 40000 is negative as a 16-bit value: no bytes.
  b = api::user_make_arc(data.c_str(), "40000");
  EXPECT_STREQ(b, "0000");
  api::free_block(b);
}

}  // namespace
}  // namespace pink::corvanavan
