// End signals as data, and the bounded drain of the serial output.
#include "kitchen/body.h"

#include <gtest/gtest.h>

#include "platform/failure.h"

namespace pink::kitchen {
namespace {

using namespace std::string_view_literals;

TEST(KitchenSignals, TableByDialectAndModel) {
  EXPECT_EQ(end_signal("2", "0", Dialect::Kitchen), "\x1C\x62\x02\xF4\x01\xFA\x00"sv);
  EXPECT_EQ(end_signal("T", "0", Dialect::Kitchen), "\x1B\x70\x00\x40\x50"sv);
  EXPECT_EQ(end_signal("N", "9", Dialect::Kitchen), ""sv);
  EXPECT_EQ(end_signal("X", "9", Dialect::Kitchen), "\x1B\x70\x01\xFF\x10"sv);
  EXPECT_EQ(end_signal("X", "0", Dialect::Kitchen), ""sv);
  EXPECT_EQ(end_signal("", "9", Dialect::Kitchen), ""sv);
  // The serial-only resident printer knows 1..4 and T, and no model-9 pulse.
  EXPECT_EQ(end_signal("4", "9", Dialect::Kitfeed), "\x1C\x62\x04\xF4\x01\xFA\x00"sv);
  EXPECT_EQ(end_signal("S", "0", Dialect::Kitfeed), ""sv);
  EXPECT_EQ(end_signal("B", "0", Dialect::Kitfeed), ""sv);
}

TEST(KitchenDrain, EndsWhenTheBufferEmptiesAndFailsPastTheLimit) {
  int reads = 0, pumps = 0;
  drain([&] { return ++reads < 4 ? 10 : 0; }, 5000, [&] { ++pumps; });
  EXPECT_EQ(reads, 4);
  EXPECT_EQ(pumps, 3);

  try {
    drain([] { return 1; }, 30, nullptr);
    FAIL() << "a buffer that never drains was waited for without end";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 57);
    EXPECT_NE(f.description().find("drain"), std::string::npos);
  }

  EXPECT_EQ(drain_limit_ms(0, 9600), 5000u);
  EXPECT_EQ(drain_limit_ms(960, 9600), 2000u + 5000u);  // one second of line time, twice
  EXPECT_EQ(drain_limit_ms(960, 0), 2000u + 5000u);
}

}  // namespace
}  // namespace pink::kitchen
