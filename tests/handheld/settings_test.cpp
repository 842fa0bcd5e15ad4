// The settings file of hx410 and the run-time's numeric conversion it is read with.
#include "handheld/settings.h"

#include <gtest/gtest.h>

#include "platform/failure.h"
#include "platform/text.h"

namespace pink::handheld {
namespace {

int failure_of(std::string_view file_text) {
  try {
    parse_settings(file_text);
  } catch (const Failure& f) {
    return f.number();
  }
  return 0;
}

TEST(SettingsFile, DefaultsAndLineEndings) {
  const Settings d = parse_settings(kDefaultSettings);
  EXPECT_EQ(kDefaultSettings, "1\r\nzorout.txt\r\n");
  EXPECT_EQ(d.port, 1);
  EXPECT_EQ(d.output_file, "zorout.txt");

  const text::Literal korean{"  수신 자료.txt  "};
  for (const std::string_view nl : {"\r\n", "\n", "\r"}) {
    const std::string file = "  3" + std::string(nl) + korean.str() + std::string(nl);
    const Settings s = parse_settings(file);
    EXPECT_EQ(s.port, 3);
    EXPECT_EQ(s.output_file, text::trim(korean.str())) << "blanks trimmed, cp949 kept";
  }
  // The last line needs no line break; a third line is not read.
  EXPECT_EQ(parse_settings("4\r\nout.txt").output_file, "out.txt");
  EXPECT_EQ(parse_settings("4\r\nout.txt\r\nextra\r\n").output_file, "out.txt");
}

TEST(SettingsFile, MissingLinesOverflowAndEmptyNamesFail) {
  EXPECT_EQ(failure_of(""), 62);
  EXPECT_EQ(failure_of("1\r\n"), 62);
  EXPECT_EQ(failure_of("1"), 62);
  EXPECT_EQ(failure_of("1\r\n   \r\n"), 52);
  EXPECT_EQ(failure_of("99999\r\nout.txt\r\n"), 6);
  // Port 0 or a text that is no number reads as 0; the serial control refuses it later.
  EXPECT_EQ(parse_settings("COM3\r\nout.txt\r\n").port, 0);
}

TEST(Val, ReadsTheLeadingNumberIgnoringBlanks) {
  EXPECT_EQ(val(" 12"), 12);
  EXPECT_EQ(val("\t3abc"), 3);
  EXPECT_EQ(val("1 2"), 12);
  EXPECT_EQ(val("-2"), -2);
  EXPECT_EQ(val("+7"), 7);
  EXPECT_EQ(val("2.5"), 2.5);
  EXPECT_EQ(val(".5"), 0.5);
  EXPECT_EQ(val("1e1"), 10);
  EXPECT_EQ(val("1e"), 1);
  EXPECT_EQ(val("&H0A"), 10);
  EXPECT_EQ(val("&hFFFF"), -1);
  EXPECT_EQ(val("&O17"), 15);
  EXPECT_EQ(val(""), 0);
  EXPECT_EQ(val("abc"), 0);
  EXPECT_EQ(val("1e999"), 0) << "no infinity";
}

TEST(Val, IntegersRoundHalvesToEvenWithinSixteenBits) {
  int n = 0;
  ASSERT_TRUE(to_integer(2.5, n));
  EXPECT_EQ(n, 2);
  ASSERT_TRUE(to_integer(3.5, n));
  EXPECT_EQ(n, 4);
  ASSERT_TRUE(to_integer(-32768, n));
  EXPECT_EQ(n, -32768);
  EXPECT_FALSE(to_integer(32767.5, n));
  EXPECT_FALSE(to_integer(1e10, n));
}

}  // namespace
}  // namespace pink::handheld
