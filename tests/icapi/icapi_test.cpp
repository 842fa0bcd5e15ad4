// The IC card reader library as a caller links it: the clock entry's 14
// digits and the reader entries that accept anything and do nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "payment/icapi/datetime.h"
#include "pink/icapi.h"
#include "platform/clock.h"

namespace pink {
namespace {

std::string digits_of(const clock::LocalTime& t) {
  const auto d = icapi::datetime_digits(t);
  return std::string(d.begin(), d.end());
}

TEST(IcapiDateTime, FourteenDigitsOfTheLocalTime) {
  clock::LocalTime t;
  t.year = 2024, t.month = 3, t.day = 5, t.hour = 7, t.minute = 8, t.second = 9;
  EXPECT_EQ(digits_of(t), "20240305070809");
  t.year = 999, t.month = 12, t.day = 31, t.hour = 23, t.minute = 59, t.second = 59;
  EXPECT_EQ(digits_of(t), "09991231235959");
}

TEST(IcapiDateTime, ExportWritesFourteenBytesAndNothingBehind) {
  char buffer[20];
  std::memset(buffer, '#', sizeof buffer);
  const std::string before = digits_of(clock::now_local());
  EXPECT_EQ(ZV_EXT_GetDateTime(buffer), 0);
  const std::string after = digits_of(clock::now_local());

  const std::string got(buffer, 14);
  EXPECT_EQ(got.find_first_not_of("0123456789"), std::string::npos) << got;
  EXPECT_LE(before, got);
  EXPECT_LE(got, after);
  for (std::size_t i = 14; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#') << i;

  EXPECT_EQ(ZV_EXT_GetDateTime(nullptr), 0);
}

TEST(IcapiReader, OneEntryPointTakesAnyArgumentsAndDoesNothing) {
  EXPECT_EQ(reinterpret_cast<void*>(&ZV_EXT_IcInit), reinterpret_cast<void*>(&ZV_EXT_CmdApdu));
  char apdu[8] = "\x00\xA4\x04\x00";
  char reply[8];
  std::memset(reply, '#', sizeof reply);
  int reply_length = -7;
  EXPECT_EQ(ZV_EXT_CmdApdu(apdu, 4, reply, &reply_length), 0);
  EXPECT_EQ(ZV_EXT_CmdApdu(), 0);
  EXPECT_EQ(ZV_EXT_IcInit(1, 9600, "COM1", 2.5), 0);
  EXPECT_EQ(reply_length, -7);
  for (const char c : reply) EXPECT_EQ(c, '#');
}

}  // namespace
}  // namespace pink
