// A handheld terminal whose serial line vanishes in the middle of a
// transfer: hx410 keeps the records it acknowledged, never acknowledges one
// it could not answer, and either ends through its failure path or stays
// responsive to the operator; nothing hangs.
#include <gtest/gtest.h>

#include <string>

#include "tests/handheld/hx410_fixture.h"

namespace pink {
namespace {

using testing::Hx410;
using testing::kAnswerMs;

// The line goes while hx410 owes an answer: the ACK cannot be sent, so the
// program ends with its failure status and says why.
TEST(VanishingHandheld, ALineGoneBeforeTheAckEndsTheProgramWithItsFailure) {
  Hx410 h;
  h.start();
  ASSERT_TRUE(h.begin_transfer());
  ASSERT_TRUE(h.send_expecting_acks("\x02ONE\x03"));
  // The terminal stops the line, so the ACK for TWO stays owed; once TWO
  // is stored, the line goes.
  h.port.hold_output(true);
  h.port.write("\x02TWO\x03");
  ASSERT_TRUE(testkit::wait_until([&] { return h.output() == "ONE\r\nTWO\r\n"; }, 20000)) << h.output();
  h.port.unplug();
  const auto status = h.process->wait(30000);
  ASSERT_TRUE(status.has_value()) << "hx410 hangs after its line vanished";
  EXPECT_EQ(*status, 2);
  EXPECT_NE(h.process->err().find("HX410: Device I/O error"), std::string::npos) << h.process->err();
  EXPECT_EQ(h.output(), "ONE\r\nTWO\r\n");
}

// The line goes while hx410 waits for the rest of a record: it owes nothing,
// so it waits as for a silent terminal, and the operator can still end it.
TEST(VanishingHandheld, ALineGoneMidRecordLeavesTheProgramResponsive) {
  Hx410 h;
  h.start();
  ASSERT_TRUE(h.begin_transfer());
  ASSERT_TRUE(h.send_expecting_acks("\x02ONE\x03"));
  h.port.write("\x02PAR");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  h.port.unplug();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  if (h.process->running()) {
    EXPECT_EQ(h.process->terminate(kAnswerMs * 2), 0) << "hx410 does not end when asked";
  } else {
    EXPECT_EQ(h.process->wait(0), 2) << h.process->err();
  }
  EXPECT_EQ(h.output(), "ONE\r\n");
}

}  // namespace
}  // namespace pink
