// The pds dialect table, write by write: which Output writes and clears each
// display type makes, and which type codes it knows.
#include "display/dialects.h"

#include <gtest/gtest.h>

#include <set>

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

}  // namespace
}  // namespace pink::display
