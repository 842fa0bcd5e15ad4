// The code-line rules of the scanner driver, chunk by chunk and byte by byte.
#include "drivers/scanner/codeline.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace pink::scanio {
namespace {

std::span<const std::uint8_t> bytes_of(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// What a reader thread delivers for these chunks, in order.
std::vector<std::string> carry(const std::vector<std::string>& chunks) {
  CarryScan scan;
  std::vector<std::string> codes;
  for (const auto& c : chunks) {
    if (auto code = scan.chunk(bytes_of(c))) codes.emplace_back(code->text());
  }
  return codes;
}

// What one polling call leaves in the buffer, if anything.
std::optional<std::string> call(const std::vector<std::string>& chunks) {
  CallScan scan;
  for (const auto& c : chunks) scan.chunk(bytes_of(c));
  if (!scan.last()) return std::nullopt;
  return std::string(scan.last()->text());
}

TEST(CodeLine, ACarriageReturnEndsTheCodeAndEveryOtherByteIsText) {
  CodeLine line;
  const std::string_view digits = "4901234567894";
  for (const char c : digits) EXPECT_FALSE(line.feed(static_cast<std::uint8_t>(c)));
  EXPECT_EQ(line.size(), 13u);
  EXPECT_TRUE(line.feed(0x0D));
  EXPECT_EQ(line.code().text(), digits);
  EXPECT_EQ(line.code().c_str()[13], '\0');

  // Line feed, NUL, DEL and bytes above 0x7F are all part of a code.
  line.clear();
  const std::string odd("\n\x00\x7f\xb0\xa1", 5);
  for (const char c : odd) EXPECT_FALSE(line.feed(static_cast<std::uint8_t>(c)));
  EXPECT_TRUE(line.feed(0x0D));
  EXPECT_EQ(line.code().text(), odd);

  // A carriage return on an empty line ends an empty code.
  line.clear();
  EXPECT_TRUE(line.feed(0x0D));
  EXPECT_EQ(line.code().size(), 0u);
  EXPECT_EQ(line.code().c_str()[0], '\0');
}

TEST(CodeLine, TheNinetyNinthByteEndsTheCode) {
  CodeLine line;
  for (int i = 0; i < 98; ++i) ASSERT_FALSE(line.feed('0' + i % 10)) << i;
  EXPECT_TRUE(line.feed('Z'));
  const Code code = line.code();
  ASSERT_EQ(code.size(), kCodeMax);
  EXPECT_EQ(code.text().back(), 'Z');
  EXPECT_EQ(code.c_str()[kCodeMax], '\0');
}

TEST(CarryScan, DeliversTheFirstCodeOfAChunkAndDropsTheRest) {
  EXPECT_EQ(carry({"4901234567894\r"}), (std::vector<std::string>{"4901234567894"}));
  // Two codes in one chunk: the second goes with the rest of the chunk.
  EXPECT_EQ(carry({"111\r222\r"}), (std::vector<std::string>{"111"}));
  // Nothing of the dropped rest survives into the next chunk.
  EXPECT_EQ(carry({"111\r22", "3\r"}), (std::vector<std::string>{"111", "3"}));
  // Each chunk delivers one code.
  EXPECT_EQ(carry({"A\r", "B\r", "\r"}), (std::vector<std::string>{"A", "B", ""}));
}

TEST(CarryScan, ACodeLineCarriesOverBetweenChunks) {
  EXPECT_EQ(carry({"490123", "4567", "894\r"}), (std::vector<std::string>{"4901234567894"}));
  CarryScan scan;
  EXPECT_FALSE(scan.chunk(bytes_of("12")));
  EXPECT_EQ(scan.pending(), 2u);
  EXPECT_FALSE(scan.chunk({}));  // an empty chunk changes nothing
  EXPECT_EQ(scan.pending(), 2u);
}

TEST(CarryScan, CarriageReturnAndLineFeedSplitAcrossChunks) {
  // In one chunk the line feed is dropped with the rest of the chunk ...
  EXPECT_EQ(carry({"123\r\n", "456\r"}), (std::vector<std::string>{"123", "456"}));
  // ... in the next chunk it starts the next code.
  EXPECT_EQ(carry({"123\r", "\n456\r"}), (std::vector<std::string>{"123", "\n456"}));
  EXPECT_EQ(carry({"123\r", "\n", "456\r"}), (std::vector<std::string>{"123", "\n456"}));
}

TEST(CarryScan, ALongCodeWithoutCarriageReturnIsCutAtNinetyNine) {
  // 120 characters taken as 80 and 40: 99 delivered, the last 21 dropped.
  std::string text;
  for (int i = 0; i < 120; ++i) text += static_cast<char>('A' + i % 26);
  const auto codes = carry({text.substr(0, 80), text.substr(80), "Z\r"});
  ASSERT_EQ(codes.size(), 2u);
  EXPECT_EQ(codes[0], text.substr(0, 99));
  EXPECT_EQ(codes[1], "Z");

  // Exactly 99 characters and a carriage return behind them in the same
  // chunk: one code; the carriage return goes with the chunk.
  const std::string ninety_nine(99, '7');
  EXPECT_EQ(carry({ninety_nine.substr(0, 80), ninety_nine.substr(80) + "\r", "X\r"}),
            (std::vector<std::string>{ninety_nine, "X"}));
  // The carriage return in a later chunk ends an empty code.
  EXPECT_EQ(carry({ninety_nine.substr(0, 80), ninety_nine.substr(80), "\r"}),
            (std::vector<std::string>{ninety_nine, ""}));
}

TEST(CallScan, KeepsTheLastFinishedCodeAndDropsAnUnfinishedOne) {
  EXPECT_EQ(call({}), std::nullopt);
  EXPECT_EQ(call({"12345"}), std::nullopt);
  EXPECT_EQ(call({"ABC\r"}), "ABC");
  // Two codes in one chunk: only the first.
  EXPECT_EQ(call({"111\r222\r"}), "111");
  // A code finished in a later chunk of the call replaces the earlier one.
  EXPECT_EQ(call({"A\r" + std::string(78, 'x'), "BB\r"}), "BB");
  // The unfinished code at the end of the call goes; the finished one stays.
  EXPECT_EQ(call({"A\r", "BBB"}), "A");
  // The code line carries over between the chunks of one call.
  EXPECT_EQ(call({"49012", "34567894\r"}), "4901234567894");
  EXPECT_EQ(call({"\n456\r"}), "\n456");
}

}  // namespace
}  // namespace pink::scanio
