// The virtual pad's logic without a port: the send schedule, the cutting of
// what the control sends into log lines, and the pad that ties a device to
// both.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/vpad/fake_device.h"
#include "tools/vpad/framer.h"
#include "tools/vpad/options.h"
#include "tools/vpad/pad.h"
#include "tools/vpad/scheduler.h"

namespace pink::vpad {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes(std::string_view s) { return Bytes(s.begin(), s.end()); }
Bytes hex(std::string_view h) { return *parse_hex(h); }

std::vector<std::string> texts(const std::vector<Bytes>& pieces) {
  std::vector<std::string> out;
  for (const Bytes& p : pieces) out.emplace_back(p.begin(), p.end());
  return out;
}

TEST(VpadSchedule, PiecesFollowEachOtherWithinABatchAndBatchesRunSideBySide) {
  Scheduler s;
  EXPECT_FALSE(s.next_due());
  ASSERT_TRUE(s.add(1000, std::vector<signpad::Send>{{5, bytes("a1")}, {10, bytes("a2")}, {0, bytes("a3")}}));
  ASSERT_TRUE(s.add(1008, std::vector<signpad::Send>{{7, bytes("b1")}, {0, bytes("b2")}}));
  ASSERT_TRUE(s.add(1010, std::vector<signpad::Send>{}));
  EXPECT_EQ(s.pending_pieces(), 5u);
  EXPECT_EQ(s.pending_bytes(), 10u);
  EXPECT_EQ(s.next_due(), 1005u);

  EXPECT_TRUE(s.take_due(1004).empty());
  EXPECT_EQ(texts(s.take_due(1005)), (std::vector<std::string>{"a1"}));
  // a2 and a3 are due at 1015, b1 and b2 at 1015 too: the order they were
  // scheduled in decides.
  EXPECT_EQ(s.next_due(), 1015u);
  EXPECT_EQ(texts(s.take_due(2000)), (std::vector<std::string>{"a2", "a3", "b1", "b2"}));
  EXPECT_FALSE(s.next_due());
  EXPECT_EQ(s.pending_bytes(), 0u);
}

TEST(VpadSchedule, ABatchPastTheLimitsIsRefusedWhole) {
  Scheduler s(Scheduler::Limits{3, 10});
  EXPECT_TRUE(s.add(0, std::vector<signpad::Send>{{1, bytes("12345")}, {1, bytes("6")}}));
  // Two more pieces would make four.
  EXPECT_FALSE(s.add(0, std::vector<signpad::Send>{{1, bytes("x")}, {1, bytes("y")}}));
  // Five more bytes would make eleven.
  EXPECT_FALSE(s.add(0, std::vector<signpad::Send>{{1, bytes("abcde")}}));
  EXPECT_EQ(s.pending_pieces(), 2u);
  EXPECT_EQ(s.pending_bytes(), 6u);
  EXPECT_TRUE(s.add(0, std::vector<signpad::Send>{{1, bytes("abcd")}}));
  EXPECT_EQ(texts(s.take_due(10)), (std::vector<std::string>{"12345", "abcd", "6"}));
  // Sent pieces make room again.
  EXPECT_TRUE(s.add(10, std::vector<signpad::Send>{{0, bytes("0123456789")}}));
}

// Feeds the bytes in pieces of `size` and returns the units as hex lines.
std::vector<std::string> units_in_pieces(const Bytes& all, std::size_t size, bool flush) {
  Framer f;
  std::vector<Unit> units;
  for (std::size_t i = 0; i < all.size(); i += size) {
    f.feed(i, std::span<const std::uint8_t>(all).subspan(i, std::min(size, all.size() - i)), units);
  }
  if (flush) f.flush(units);
  std::vector<std::string> lines;
  for (const Unit& u : units) lines.push_back(std::to_string(u.time) + " " + hex_line(u.bytes));
  return lines;
}

TEST(VpadFramer, CutsWhatControlsSendIntoFramesWhateverPiecesTheyCameIn) {
  // tallypad init, its acknowledgement, a frame whose length byte is 03, a
  // card reader cancel, a lone ACK, stylpad's clear, quillpad's stop and
  // customer information request, then half a frame.
  const Bytes all = hex(
      "02 00 04 A0 30 37 03 A0  02 00 02 04 03 05  02 00 03 A5 41 03 E4"
      "6B 00 00 00 0C 67  06  02 B1 EE EE 03 B2  1B 1B 1B 1B 1B  02 00 00 FA 03 F9  02 00 09 A1");
  const std::vector<std::string> expected{
      "0 02 00 04 A0 30 37 03 A0", "8 02 00 02 04 03 05", "14 02 00 03 A5 41 03 E4",
      "21 6B 00 00 00 0C 67",      "27 06",               "28 02 B1 EE EE 03 B2",
      "34 1B 1B 1B 1B 1B",         "39 02 00 00 FA 03 F9", "45 02 00 09 A1"};
  for (std::size_t size = 1; size <= all.size(); ++size) {
    std::vector<std::string> lines = units_in_pieces(all, size, true);
    // A unit is stamped with the time its first byte came in: the start of
    // the piece that held it.
    for (std::size_t k = 0; k < lines.size(); ++k) {
      const std::size_t first = std::stoul(expected[k]);
      const std::string stamped = std::to_string(first / size * size) + expected[k].substr(expected[k].find(' '));
      EXPECT_EQ(lines[k], stamped) << "pieces of " << size;
    }
    EXPECT_EQ(lines.size(), expected.size()) << "pieces of " << size;
  }
  // Without the flush, the open frame and nothing else is held back.
  EXPECT_EQ(units_in_pieces(all, all.size(), false).size(), expected.size() - 1);
}

TEST(VpadFramer, NoUnitGrowsWithoutBound) {
  Framer f;
  std::vector<Unit> units;
  Bytes frame_without_end = {0x02, 0x00, 0x10};
  frame_without_end.resize(Framer::kMaxUnit * 2 + 5, 'x');
  f.feed(0, frame_without_end, units);
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[0].bytes.size(), Framer::kMaxUnit);
  EXPECT_EQ(units[1].bytes.size(), Framer::kMaxUnit);
  EXPECT_TRUE(f.holding());
  f.flush(units);
  EXPECT_EQ(units.back().bytes.size(), 5u);
  EXPECT_FALSE(f.holding());
}

struct PadUnderTest {
  std::ostringstream log;
  std::vector<std::string> received;
  VirtualPad pad{std::make_unique<FakeDevice>(&received), log,
                 [](std::uint64_t now) { return "t" + std::to_string(now); }};
};

TEST(VpadPad, LogsBothWaysAndSendsTheDevicesAnswersOnTime) {
  PadUnderTest t;
  t.pad.received(100, hex("02 00 02"));
  EXPECT_EQ(t.log.str(), "");
  // The device sees the bytes as they come; the log waits for the frame.
  t.pad.received(103, hex("51 03 53 51"));
  EXPECT_EQ(t.received, (std::vector<std::string>{std::string("\x02\x00\x02", 3), "Q\x03SQ"}));
  EXPECT_EQ(t.log.str(), "t100 rx 02 00 02 51 03 53\n");
  EXPECT_EQ(t.pad.next_wakeup(), 103u);
  EXPECT_EQ(texts(t.pad.due(103)), (std::vector<std::string>{"A", "A"}));
  // The lone 'Q' is logged once the line has been quiet for a while.
  EXPECT_EQ(t.pad.next_wakeup(), 103 + VirtualPad::kQuietMs);
  t.pad.idle(103 + VirtualPad::kQuietMs - 1);
  t.pad.idle(103 + VirtualPad::kQuietMs);
  EXPECT_EQ(t.pad.next_wakeup(), 143u);
  EXPECT_TRUE(t.pad.due(142).empty());
  EXPECT_EQ(texts(t.pad.due(143)), (std::vector<std::string>{"B"}));
  EXPECT_FALSE(t.pad.next_wakeup());
  EXPECT_EQ(t.log.str(),
            "t100 rx 02 00 02 51 03 53\n"
            "t103 tx 41\nt103 tx 41\n"
            "t103 rx 51\n"
            "t143 tx 42\n");
}

TEST(VpadPad, OperatorActionsGoToTheDevice) {
  PadUnderTest t;
  EXPECT_EQ(t.pad.action(0, "  help\r"),
            "fakepad actions:\n  ping      answers PONG\n  stream N  N pen points\n"
            "  help  lists these actions\n  quit  ends vpad\n");
  EXPECT_EQ(t.pad.action(0, "wave"), "vpad: fakepad has no action \"wave\" (\"help\" lists them)\n");
  EXPECT_EQ(t.pad.action(0, "   "), "");
  EXPECT_EQ(t.pad.action(10, "stream 3\n"), "vpad: stream 3: 3 pieces to send\n");
  EXPECT_EQ(t.pad.action(10, "ping"), "vpad: ping: 1 piece to send\n");
  EXPECT_EQ(texts(t.pad.due(10)), (std::vector<std::string>{"PONG"}));
  EXPECT_EQ(texts(t.pad.due(60)), (std::vector<std::string>{"p", "p"}));
  EXPECT_EQ(texts(t.pad.due(85)), (std::vector<std::string>{"p"}));
  EXPECT_EQ(t.log.str(), "t10 tx 50 4F 4E 47\nt60 tx 70\nt60 tx 70\nt85 tx 70\n");
}

TEST(VpadPad, SaysWhenTheScheduleIsFull) {
  std::ostringstream log;
  VirtualPad pad(std::make_unique<FakeDevice>(), log, [](std::uint64_t now) { return std::to_string(now); },
                 Scheduler::Limits{4, 100});
  EXPECT_EQ(pad.action(0, "stream 3"), "vpad: stream 3: 3 pieces to send\n");
  pad.action(5, "stream 2");
  EXPECT_EQ(log.str(), "5 vpad: 2 pieces dropped: 3 pieces are still waiting to be sent\n");
  EXPECT_EQ(pad.due(1000).size(), 3u);
}

}  // namespace
}  // namespace pink::vpad
