// The text codec: cp949 to and from UTF-8 and UTF-16, character boundaries,
// blanks and name comparison.
#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"

namespace pink::text {
namespace {

// "포트지정오류 " and the extended-Hangul syllables "똠뷁", whose trail
// bytes lie in the ASCII letter range.
const std::string kPortErrorUtf8 = "\xED\x8F\xAC\xED\x8A\xB8\xEC\xA7\x80\xEC\xA0\x95\xEC\x98\xA4\xEB\xA5\x98 ";
const std::string kPortErrorCp949 = "\xC6\xF7\xC6\xAE\xC1\xF6\xC1\xA4\xBF\xC0\xB7\xF9 ";
const std::string kExtendedUtf8 = "\xEB\x98\xA0\xEB\xB7\x81";
const std::string kExtendedCp949 = "\x8C\x63\x94\xEE";
const std::string kReplacement = "\xEF\xBF\xBD";

TEST(Text, KoreanRoundTrips) {
  EXPECT_EQ(utf8_to_cp949(kPortErrorUtf8), kPortErrorCp949);
  EXPECT_EQ(cp949_to_utf8(kPortErrorCp949), kPortErrorUtf8);
  EXPECT_EQ(utf8_to_cp949(kExtendedUtf8), kExtendedCp949);
  EXPECT_EQ(cp949_to_utf8(kExtendedCp949), kExtendedUtf8);

  const std::u16string wide = u"포트지정오류 ";
  EXPECT_EQ(cp949_to_utf16(kPortErrorCp949), wide);
  EXPECT_EQ(utf16_to_cp949(wide), kPortErrorCp949);
  EXPECT_EQ(cp949_to_utf16(kExtendedCp949), u"똠뷁");
  EXPECT_EQ(utf16_to_cp949(u"똠뷁"), kExtendedCp949);

  // Mixed with ASCII, and the literal helper.
  EXPECT_EQ(cp949_to_utf8("COM1 " + kPortErrorCp949 + "9600"), "COM1 " + kPortErrorUtf8 + "9600");
  const Literal title{"포트OPEN:"};
  EXPECT_EQ(title.str(), "\xC6\xF7\xC6\xAEOPEN:");
  EXPECT_EQ(char_count(kPortErrorCp949), 7u);
  EXPECT_EQ(trim(kPortErrorCp949), kPortErrorCp949.substr(0, 12));
}

TEST(Text, AsciiPassesUnchanged) {
  const std::string ascii("job 1\r\nX\0C\x7F~", 12);
  EXPECT_EQ(cp949_to_utf8(ascii), ascii);
  EXPECT_EQ(utf8_to_cp949(ascii), ascii);
  EXPECT_EQ(cp949_to_utf16(ascii), std::u16string(u"job 1\r\nX\0C\x7F~", 12));
  EXPECT_EQ(utf16_to_cp949(cp949_to_utf16(ascii)), ascii);
}

TEST(Text, InvalidCp949BecomesReplacementAndTheRestSurvives) {
  // A byte that starts nothing, a lead byte before a blank, a lead byte cut
  // off at the end, an unassigned pair (user-defined row) and 0xFF.
  EXPECT_EQ(cp949_to_utf8("A\x80" "B"), "A" + kReplacement + "B");
  EXPECT_EQ(cp949_to_utf8("\xB0 x"), kReplacement + " x");
  EXPECT_EQ(cp949_to_utf8("AB\xB0"), "AB" + kReplacement);
  EXPECT_EQ(cp949_to_utf8("\xC9\xA1" + kPortErrorCp949.substr(0, 2)),
            kReplacement + kPortErrorUtf8.substr(0, 3));
  // A NUL after a lead byte is not its trail byte.
  EXPECT_EQ(cp949_to_utf8(std::string("\xB0\0z", 3)), kReplacement + std::string("\0z", 2));

  EXPECT_EQ(cp949_to_utf16("\xC9\xA1\xC6\xF7\xC6"), u"\uFFFD포\uFFFD");
}

TEST(Text, CharactersWithoutCp949CodeBecomeQuestionMarks) {
  // Thai, an emoji (a surrogate pair in UTF-16) and the euro sign, which
  // cp949 does have.
  EXPECT_EQ(utf8_to_cp949("a\xE0\xB8\x81" "b\xF0\x9F\x98\x80" "c\xE2\x82\xAC"), "a?b?c\xA2\xE6");
  EXPECT_EQ(utf16_to_cp949(u"a\u0E01b\U0001F600c\u20AC"), "a?b?c\xA2\xE6");
  // Ill-formed UTF-8: a stray continuation byte, a cut-off sequence in the
  // middle and at the end, an encoded surrogate and an overlong form.
  EXPECT_EQ(utf8_to_cp949("x\x80y"), "x?y");
  EXPECT_EQ(utf8_to_cp949("x\xED\x8F" "y"), "x?y");
  EXPECT_EQ(utf8_to_cp949("\xED\xA0\x80"), "???");
  // Lone surrogates in UTF-16.
  EXPECT_EQ(utf16_to_cp949(std::u16string{u'a', char16_t(0xD800), u'\uAC00', char16_t(0xDC00), char16_t(0xD83D)}),
            "a?\xB0\xA1??");
}

TEST(Text, TagCharactersBecomeQuestionMarksAndDoNotVanish) {
  // U+E0000, U+E0041 and U+E007F (the first, a tag letter and the last of
  // the tag block), alone, between text and next to a Korean character; and
  // U+E0080, just past the block.
  EXPECT_EQ(utf8_to_cp949("\r\xF3\xA0\x80\x80"), "\r?");
  EXPECT_EQ(utf8_to_cp949("\xF3\xA0\x81\x81"), "?");
  EXPECT_EQ(utf8_to_cp949("a\xF3\xA0\x81\xBF" "b\xF3\xA0\x80\x80\xF3\xA0\x80\x80" + kPortErrorUtf8),
            "a?b??" + kPortErrorCp949);
  EXPECT_EQ(utf8_to_cp949("x\xF3\xA0\x82\x80y"), "x?y");
  EXPECT_EQ(utf16_to_cp949(u"a\U000E0041b\U000E007F\uAC00"), "a?b?\xB0\xA1");
  EXPECT_EQ(utf16_to_cp949(u"\U000E0000"), "?");
}

TEST(Text, CharacterBoundaries) {
  // A lead byte counts as one character with its trail byte, and alone when
  // no trail byte follows.
  EXPECT_EQ(char_count("\xB0\xA1" "A"), 2u);
  EXPECT_EQ(char_count("\xB0 A"), 3u);
  EXPECT_EQ(char_count("\x81\x41\x81\x5B"), 3u);  // 0x5B ('[') is no trail byte

  const std::string s = "1\xC6\xF7X\xB0";
  EXPECT_EQ(char_length_at(s, 0), 1u);
  EXPECT_EQ(char_length_at(s, 1), 2u);
  EXPECT_EQ(char_length_at(s, 3), 1u);
  EXPECT_EQ(char_length_at(s, 4), 1u);
  EXPECT_EQ(char_length_at(s, 5), 0u);
}

// Validity agrees with the codec over every byte and every pair of bytes: a
// text is valid exactly when it converts without a replacement character.
TEST(Text, ValidityMatchesConversion) {
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(is_valid_cp949(one), b < 0x80) << b;
  }
  int mismatches = 0;
  int valid = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0; trail < 256; ++trail) {
      const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      const bool converts = cp949_to_utf8(pair).find(kReplacement) == std::string::npos;
      if (is_valid_cp949(pair) != converts) ++mismatches;
      if (is_valid_cp949(pair)) ++valid;
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(valid, 17048);  // 8822 extended Hangul and 8226 KS X 1001 codes
  EXPECT_TRUE(is_valid_cp949(kPortErrorCp949 + kExtendedCp949));
  EXPECT_FALSE(is_valid_cp949(kPortErrorCp949 + "\xC6"));
}

TEST(Text, BlanksAndNames) {
  // Only 0x20 is a blank.
  EXPECT_EQ(trim("  9600,n,8,1 \t "), "9600,n,8,1 \t");
  EXPECT_EQ(ltrim("  a "), "a ");
  EXPECT_EQ(rtrim("  a "), "  a");
  EXPECT_EQ(trim("    "), "");

  EXPECT_EQ(compare_nocase("PRTTW_State", "prttw_state"), 0);
  EXPECT_LT(compare_nocase("com1", "COM2"), 0);
  EXPECT_GT(compare_nocase("spiro", "Prtspeed"), 0);
  EXPECT_LT(compare_nocase("kit", "KIT_"), 0);
  // The trail bytes 0x63 and 0x43 are different characters, not one letter
  // in two cases.
  EXPECT_NE(compare_nocase("\x8C\x63", "\x8C\x43"), 0);
  EXPECT_EQ(compare_nocase(kPortErrorCp949, kPortErrorCp949), 0);
}

}  // namespace
}  // namespace pink::text
