// The pds dialect table, write by write: which Output writes and clears each
// display type makes, and which type codes it knows.
#include "display/dialects.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/text.h"
#include "tests/display/dialect_streams.h"

namespace pink::display {
namespace {

using testing::dialect_streams;
using testing::kSampleTexts;

TEST(PdsDialects, EveryTypeMakesItsWritesAndClearsInOrder) {
  std::set<char> seen;
  for (const auto& expected : dialect_streams()) {
    const Dialect* d = find_dialect(expected.type);
    ASSERT_NE(d, nullptr) << expected.type;
    seen.insert(d->code);
    const auto actions = plan(*d, kSampleTexts);
    ASSERT_EQ(actions.size(), expected.actions.size()) << "type " << expected.type;
    for (std::size_t i = 0; i < actions.size(); ++i) {
      EXPECT_EQ(actions[i].clear, expected.actions[i].clear) << "type " << expected.type << " step " << i;
      EXPECT_EQ(actions[i].bytes, expected.actions[i].bytes) << "type " << expected.type << " step " << i;
    }
  }
  EXPECT_EQ(seen.size(), 13u);
  EXPECT_EQ(dialects().size(), 13u);
}

TEST(PdsDialects, OnlyTheThirteenCodesAsWrittenAreKnown) {
  for (const char* code : {"1", "4", "5", "6", "7", "8", "9", "C", "G", "H", "I", "K", "L"}) {
    EXPECT_NE(find_dialect(code), nullptr) << code;
  }
  for (const char* code : {"", "l", "c", "g", "h", "i", "k", "0", "2", "3", "A", "44", "4 ", " 4", "L\n"}) {
    EXPECT_EQ(find_dialect(code), nullptr) << '"' << code << '"';
  }
}

TEST(PdsDialects, PaddingCountsBytesOrCharactersAndNeverCuts) {
  const std::string korean = text::utf8_to_cp949("합계금");  // 3 characters, 6 bytes
  EXPECT_EQ(fit_text(korean, Fit::RightBytes, 20), korean + std::string(14, ' '));
  EXPECT_EQ(fit_text(korean, Fit::LeftBytes, 20), std::string(14, ' ') + korean);
  EXPECT_EQ(fit_text(korean, Fit::RightChars, 20), korean + std::string(17, ' '));
  const std::string long_text(25, 'x');
  for (const Fit fit : {Fit::RightBytes, Fit::LeftBytes, Fit::RightChars, Fit::AsIs}) {
    EXPECT_EQ(fit_text(long_text, fit, 20), long_text);
    EXPECT_EQ(fit_text(long_text.substr(0, 20), fit, 20), long_text.substr(0, 20));
  }
  EXPECT_EQ(fit_text("", Fit::LeftBytes, 20), std::string(20, ' '));
  // Eleven Korean characters are 22 bytes but 11 characters.
  const std::string eleven = text::utf8_to_cp949("가나다라마바사아자차카");
  EXPECT_EQ(fit_text(eleven, Fit::RightBytes, 20), eleven);
  EXPECT_EQ(fit_text(eleven, Fit::RightChars, 20), eleven + std::string(9, ' '));
}

}  // namespace
}  // namespace pink::display
