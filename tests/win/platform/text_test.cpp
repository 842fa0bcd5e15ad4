// The text codec on the system's code page 949: Korean, extended Hangul and
// ASCII as on Linux; where the system's table has more to say than the
// Linux codec (the user-defined rows, byte 0x80), what the Windows build
// does with it.
#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/settings.h"

namespace pink::text {
namespace {

const std::string kPortErrorUtf8 = "\xED\x8F\xAC\xED\x8A\xB8\xEC\xA7\x80\xEC\xA0\x95\xEC\x98\xA4\xEB\xA5\x98 ";
const std::string kPortErrorCp949 = "\xC6\xF7\xC6\xAE\xC1\xF6\xC1\xA4\xBF\xC0\xB7\xF9 ";
const std::string kExtendedCp949 = "\x8C\x63\x94\xEE";  // "똠뷁": trail bytes in the letter range
const std::string kReplacement = "\xEF\xBF\xBD";

TEST(Text, KoreanAndAsciiConvertAsOnLinux) {
  EXPECT_EQ(utf8_to_cp949(kPortErrorUtf8), kPortErrorCp949);
  EXPECT_EQ(cp949_to_utf8(kPortErrorCp949), kPortErrorUtf8);
  EXPECT_EQ(cp949_to_utf16(kPortErrorCp949), u"포트지정오류 ");
  EXPECT_EQ(utf16_to_cp949(u"똠뷁"), kExtendedCp949);
  EXPECT_EQ(cp949_to_utf16(kExtendedCp949), u"똠뷁");
  const std::string ascii("job 1\r\nX\0C\x7F~", 12);
  EXPECT_EQ(cp949_to_utf16(ascii), std::u16string(u"job 1\r\nX\0C\x7F~", 12));
  EXPECT_EQ(utf16_to_cp949(cp949_to_utf16(ascii)), ascii);
  EXPECT_EQ(Literal{"포트OPEN:"}.str(), "\xC6\xF7\xC6\xAEOPEN:");

  // Unreadable bytes become U+FFFD and the rest survives.
  EXPECT_EQ(cp949_to_utf8("\xB0 x"), kReplacement + " x");
  EXPECT_EQ(cp949_to_utf8("AB\xB0"), "AB" + kReplacement);
  EXPECT_EQ(cp949_to_utf8(std::string("\xB0\0z", 3)), kReplacement + std::string("\0z", 2));
  // Characters without a cp949 code become '?'; the euro sign has one.
  EXPECT_EQ(utf8_to_cp949("a\xE0\xB8\x81" "b\xE2\x82\xAC"), "a?b\xA2\xE6");
  EXPECT_EQ(utf8_to_cp949("x\x80y"), "x?y");
}

// A user-defined character (the POS's own glyph) survives a trip through a
// wide API, such as the registry, where the Linux codec has no code for it.
TEST(Text, UserDefinedCharactersRoundTripThroughTheWideApis) {
  const std::string user_defined = "\xC9\xA1\xFE\xFE";
  const std::u16string wide = cp949_to_utf16(user_defined);
  ASSERT_EQ(wide.size(), 2u);
  EXPECT_GE(wide[0], 0xE000);
  EXPECT_LT(wide[0], 0xF900);  // the private use area
  EXPECT_EQ(utf16_to_cp949(wide), user_defined);
  const std::string app = "pinktest-text-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed());
  settings::put(app, "floyd", "pds_1", user_defined + kPortErrorCp949);
  EXPECT_EQ(settings::get(app, "floyd", "pds_1"), user_defined + kPortErrorCp949);
}

}  // namespace
}  // namespace pink::text
