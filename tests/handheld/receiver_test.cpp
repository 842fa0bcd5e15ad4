// The receive logic of hx410: what starts a transfer, the actions the buffer
// yields pass by pass, and the pause rule across midnight.
#include "handheld/receiver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "handheld/controls.h"
#include "platform/text.h"

namespace pink::handheld {
namespace {

using Kind = Action::Kind;
using namespace std::string_literals;

// Actions in a form that compares and prints well: "ACK", "DONE", "REC:<bytes>".
std::vector<std::string> names(const std::vector<Action>& actions) {
  std::vector<std::string> out;
  for (const Action& a : actions) {
    switch (a.kind) {
      case Kind::SendAck: out.push_back("ACK"); break;
      case Kind::Done: out.push_back("DONE"); break;
      case Kind::Record: out.push_back("REC:" + a.record); break;
    }
  }
  return out;
}

using Names = std::vector<std::string>;

TEST(StartsTransfer, OnlyAReadOfExactlyOneEnq) {
  EXPECT_TRUE(starts_transfer("\x05"));
  for (const std::string& read : {""s, "\x05\x05"s, "\x05X"s, "X\x05"s, "\x02\x05"s, "\x06"s, std::string(1, '\0')}) {
    EXPECT_FALSE(starts_transfer(read)) << "read of " << read.size() << " bytes";
  }
}

TEST(Receiver, TwoRecordsInOneReadAreTwoRecordsEachAnsweredByItsOwnAck) {
  Receiver r;
  r.feed("\x02" "A\x03\x02" "B\x03");
  EXPECT_EQ(names(r.step()), (Names{"REC:A", "ACK"}));
  EXPECT_EQ(names(r.step()), (Names{"REC:B", "ACK"}));
  EXPECT_TRUE(r.empty());
  EXPECT_EQ(names(r.step()), Names{});
  EXPECT_FALSE(r.done());
}

TEST(Receiver, BlankRecordsAreAnsweredButNotStored) {
  Receiver r;
  // Spaces only, and nothing at all between STX and ETX: answered, not stored.
  r.feed("\x02     \x03\x02\x03");
  EXPECT_EQ(names(r.step()), Names{"ACK"});
  EXPECT_EQ(names(r.step()), Names{"ACK"});
  // Only spaces count as blank; a record with text keeps its spaces.
  r.feed("\x02\t\x03\x02 A \x03");
  EXPECT_EQ(names(r.step()), (Names{"REC:\t", "ACK"}));
  EXPECT_EQ(names(r.step()), (Names{"REC: A ", "ACK"}));
}

TEST(Receiver, EndMarkerEndsTheTransferOnlyAtTheHead) {
  Receiver r;
  r.feed("\x02" "AB>");
  EXPECT_EQ(names(r.step()), Names{}) << "a partial record waits for its ETX";
  EXPECT_FALSE(r.done());
  r.feed("C\x03>trailing");
  EXPECT_EQ(names(r.step()), (Names{"REC:AB>C", "ACK"}));
  EXPECT_FALSE(r.done());
  EXPECT_EQ(names(r.step()), (Names{"ACK", "DONE"}));
  EXPECT_TRUE(r.done());
  EXPECT_TRUE(r.empty()) << "the rest of the buffer goes with the end marker";
  r.feed("\x02X\x03");
  EXPECT_EQ(names(r.step()), Names{}) << "nothing more once done";
  r.reset();
  EXPECT_FALSE(r.done());
  EXPECT_TRUE(r.empty());
}

TEST(Receiver, AckAtTheHeadIsAnsweredAndDroppedOneAtATime) {
  Receiver r;
  r.feed("\x06\x06\x02X\x03");
  EXPECT_EQ(names(r.step()), Names{"ACK"});
  EXPECT_EQ(names(r.step()), Names{"ACK"});
  EXPECT_EQ(r.buffer(), "\x02X\x03");
  EXPECT_EQ(names(r.step()), (Names{"REC:X", "ACK"}));
}

TEST(Receiver, FirstCharacterIsDroppedWhateverItIs) {
  const text::Literal han{"한"};
  const text::Literal hangul{"한글"};
  Receiver r;
  r.feed("AXYZ\x03");
  EXPECT_EQ(names(r.step()), (Names{"REC:XYZ", "ACK"}));
  // A double-byte first character goes whole; double-byte text stays as received.
  r.feed(han.str() + "X\x03\x02" + hangul.str() + "\x03");
  EXPECT_EQ(names(r.step()), (Names{"REC:X", "ACK"}));
  EXPECT_EQ(names(r.step()), (Names{"REC:" + hangul.str(), "ACK"}));
  // A record split over reads is put together.
  r.feed("\x02" "AB");
  EXPECT_EQ(names(r.step()), Names{});
  r.feed("C");
  EXPECT_EQ(names(r.step()), Names{});
  r.feed("\x03");
  EXPECT_EQ(names(r.step()), (Names{"REC:ABC", "ACK"}));
}

// An ETX at the very head leaves no character to drop and nothing between:
// an empty record, answered like any blank one.
TEST(Receiver, EtxAtTheHeadIsAnEmptyRecord) {
  Receiver r;
  r.feed("\x03\x02" "A\x03");
  EXPECT_EQ(names(r.step()), Names{"ACK"});
  EXPECT_EQ(names(r.step()), (Names{"REC:A", "ACK"}));
}

TEST(Pause, PassesOnlyBeyondItsEnd) {
  Pause p(0.1, 100.0);
  EXPECT_FALSE(p.passed(100.0));
  EXPECT_FALSE(p.passed(100.1));
  EXPECT_TRUE(p.passed(100.11));
  EXPECT_NEAR(Pause(0.1, 10.0).left(10.04), 0.06, 1e-9);
  EXPECT_EQ(Pause(0.1, 10.0).left(11.0), 0.0);
  // A timer a little behind the start (set back by less than the wrap
  // distance) keeps the start: the pause lasts on.
  Pause back(1.0, 500.0);
  EXPECT_FALSE(back.passed(499.0));
  EXPECT_TRUE(back.passed(501.5));
}

TEST(Pause, StartIsTakenAgainWhenTheTimerWrapsAtMidnight) {
  Pause p(0.1, 86399.95);
  EXPECT_FALSE(p.passed(86399.99));
  EXPECT_FALSE(p.passed(0.01));  // past midnight: the pause starts again here
  EXPECT_NEAR(p.left(0.01), 0.1, 1e-9);
  EXPECT_FALSE(p.passed(0.1));
  EXPECT_TRUE(p.passed(0.12));
}

}  // namespace
}  // namespace pink::handheld
