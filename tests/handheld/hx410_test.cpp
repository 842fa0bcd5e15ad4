// hx410 as a process on a virtual port: whole exchanges played byte by byte,
// the output file byte-exact, the line settings, start-up failures and the
// ways the program ends.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/serial.h"
#include "tests/handheld/hx410_fixture.h"

namespace pink {
namespace {

using testing::cp949;
using testing::Hx410;
using testing::kAck;
using testing::kAnswerMs;
using testing::kEndLine;
using Clock = std::chrono::steady_clock;

TEST(Hx410, WholeExchangeStoresEachRecordAsACrLfLineOn19200Baud8N1) {
  Hx410 h;
  h.start();
  // An ENQ read together with anything else starts nothing.
  h.port.write("\x05X");
  EXPECT_EQ(h.port.read_exact(1, 400), "");
  ASSERT_TRUE(h.begin_transfer());

  const testkit::LineView line = h.port.line();
  EXPECT_EQ(line.baud, 19200u);
  EXPECT_EQ(line.data_bits, 8);
  EXPECT_FALSE(line.odd || line.stick) << "no parity";
  EXPECT_FALSE(line.two_stop_bits);
  EXPECT_FALSE(line.rts_cts || line.xon_out || line.xon_in) << "no flow control";

  ASSERT_TRUE(h.send_expecting_acks("\x02" "ABC 123\x03"));
  ASSERT_TRUE(h.send_expecting_acks("\x02" + cp949("한글 자료") + "\x03"));
  ASSERT_TRUE(h.send_expecting_acks("\x02    \x03"));  // blank: answered, not stored
  ASSERT_TRUE(h.send_expecting_acks(">"));
  EXPECT_EQ(h.output(), "ABC 123\r\n" + cp949("한글 자료") + "\r\n");
  ASSERT_TRUE(h.printed(kEndLine));
  EXPECT_EQ(h.process->out(), "ABC 123\n한글 자료\n" + kEndLine + "\n");
  EXPECT_EQ(h.port.read_exact(1, 300), "") << "nothing beyond one ACK each";
  EXPECT_EQ(h.process->terminate(kAnswerMs), 0);
  EXPECT_EQ(h.process->err(), "");
}

TEST(Hx410, ReceiveLoopRulesHoldOnTheLine) {
  Hx410 h;
  h.start();
  ASSERT_TRUE(h.begin_transfer());

  // Two records in one write: two lines, two ACKs each a tenth of a second
  // after the one before (so the second one at least 0.2 s after the write).
  const auto sent = Clock::now();
  h.port.write("\x02" "A\x03\x02" "B\x03");
  EXPECT_EQ(h.port.read_exact(1, kAnswerMs), kAck);
  EXPECT_EQ(h.port.read_exact(1, kAnswerMs), kAck);
  EXPECT_GE(Clock::now() - sent, std::chrono::milliseconds(200));

  // An ACK from the terminal is answered with an ACK.
  ASSERT_TRUE(h.send_expecting_acks(kAck));
  // A ">" inside a record does not end the transfer; the record keeps it.
  h.port.write("\x02" "C>");
  EXPECT_EQ(h.port.read_exact(1, 400), "");
  ASSERT_TRUE(h.send_expecting_acks("D\x03"));
  // An ETX at the head is an empty record: answered, nothing stored.
  ASSERT_TRUE(h.send_expecting_acks("\x03"));
  ASSERT_TRUE(h.send_expecting_acks(">"));
  EXPECT_EQ(h.output(), "A\r\nB\r\nC>D\r\n");
  EXPECT_EQ(h.process->terminate(kAnswerMs), 0);
}

TEST(Hx410, EveryTransferEmptiesTheOutputFileFirst) {
  Hx410 h;
  h.work.write("out.txt", "OLD\r\n");
  h.start();
  ASSERT_TRUE(h.begin_transfer());
  EXPECT_EQ(h.output(), "") << "emptied before the ENQ is answered";
  ASSERT_TRUE(h.send_expecting_acks("\x02ONE\x03"));
  ASSERT_TRUE(h.send_expecting_acks(">"));
  EXPECT_EQ(h.output(), "ONE\r\n");

  // The program listens again a second after the end marker.
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  ASSERT_TRUE(h.begin_transfer());
  EXPECT_EQ(h.output(), "");
  ASSERT_TRUE(h.send_expecting_acks("\x02TWO\x03"));
  ASSERT_TRUE(h.send_expecting_acks(">"));
  EXPECT_EQ(h.output(), "TWO\r\n");
  ASSERT_TRUE(h.printed("TWO\n" + kEndLine + "\n"));
  EXPECT_EQ(h.process->out(), "ONE\n" + kEndLine + "\nTWO\n" + kEndLine + "\n");
  EXPECT_EQ(h.process->terminate(kAnswerMs), 0);
}

TEST(Hx410, MissingSettingsFileIsCreatedWithTheDefaults) {
  Hx410 h;
  testkit::TempDir empty;
  testkit::ScopedEnv ini{"PINK_HX410_INI", empty.file("hx410.ini")};
  testkit::VirtualPort com1(1);  // the default port
  h.process = std::make_unique<testkit::Process>(testkit::program("hx410"), std::vector<std::string>{}, h.options());
  com1.write(testing::kEnq);
  EXPECT_EQ(com1.read_exact(1, kAnswerMs), kAck);
  EXPECT_EQ(empty.read("hx410.ini"), "1\r\nzorout.txt\r\n");
  EXPECT_EQ(h.work.read("zorout.txt"), "");
  EXPECT_EQ(h.process->terminate(kAnswerMs), 0);
}

TEST(Hx410, StartFailuresSayWhatAndWhereAndTouchNothing) {
  struct Case {
    const char* name;
    std::string settings;  // "" leaves the settings file in a missing folder
    const char* message;
    const char* where;
  };
  const Case cases[] = {
      {"settings file cannot be created", "", "Path/File access error", "/missing/hx410.ini"},
      {"port without a device", "9\r\nout.txt\r\n", "Invalid port number", "COM9 (/nonexistent/tty9)"},
      {"port 0", "0\r\nout.txt\r\n", "Invalid port number", "port COM0"},
      {"one line", "5\r\n", "Input past end of file", "hx410.ini"},
      {"no output file name", "5\r\n  \r\n", "Bad file name or number", "line 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Hx410 h;
    testkit::ScopedEnv com9{"PINK_COM9", "/nonexistent/tty9"};
    testkit::RunOptions o = h.options();
    if (c.settings.empty()) {
      o.env["PINK_HX410_INI"] = h.conf.file("missing/hx410.ini");
    } else {
      h.conf.write("hx410.ini", c.settings);
    }
    const testkit::RunResult r = testkit::run(testkit::program("hx410"), {}, o);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find(std::string("HX410: ") + c.message), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.where), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(h.work.exists("out.txt"));
    EXPECT_EQ(h.port.read_exact(1, 0), "");
  }
}

TEST(Hx410, StopSignalMidTransferEndsCleanlyAndFreesThePort) {
  Hx410 h;
  h.start();
  ASSERT_TRUE(h.begin_transfer());
  ASSERT_TRUE(h.send_expecting_acks("\x02ONE\x03"));
  h.port.write("\x02PART");  // a record that never ends
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(h.process->terminate(kAnswerMs), 0);
  EXPECT_EQ(h.output(), "ONE\r\n");
  EXPECT_EQ(h.process->err(), "");
  const serial::OpenResult again = serial::open("COM5");
  EXPECT_EQ(again.status, serial::OpenStatus::Ok) << again.text;
}

// Records must never be answered when they cannot be kept: an output file
// that cannot be emptied leaves the ENQ unanswered and ends the program.
TEST(Hx410, OutputFileThatCannotBeWrittenEndsTheProgramWithoutAnAck) {
  Hx410 h;
  h.conf.write("hx410.ini", "5\r\nmissing/out.txt\r\n");
  h.start();
  h.port.write(testing::kEnq);
  const auto status = h.process->wait(kAnswerMs * 2);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 2);
  EXPECT_EQ(h.port.read_exact(1, 0), "");
  EXPECT_NE(h.process->err().find("HX410: Path/File access error: cannot empty the output file missing/out.txt"),
            std::string::npos)
      << h.process->err();
}

TEST(Hx410, HelpTouchesNothing) {
  Hx410 h;
  testkit::TempDir empty;
  testkit::RunOptions o = h.options();
  o.env["PINK_HX410_INI"] = empty.file("hx410.ini");
  const testkit::RunResult r = testkit::run(testkit::program("hx410"), {"--help"}, o);
  EXPECT_EQ(r.exit_code, 0);
  for (const char* part : {"usage: hx410", "hx410.ini", "PINK_HX410_INI", "PINK_COMn", "zorout.txt", "q or Esc ends it",
                           "Exit status", "19200"}) {
    EXPECT_NE(r.out.find(part), std::string::npos) << part;
  }
  EXPECT_FALSE(empty.exists("hx410.ini"));
  EXPECT_EQ(h.port.read_exact(1, 200), "");
  EXPECT_NE(h.port.line().baud, 19200u) << "the port was never set up";
}

}  // namespace
}  // namespace pink
