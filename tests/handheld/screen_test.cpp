// hx410 with a terminal for standard input and output (a pseudo-terminal
// standing in for the operator's): the full-screen view, the end keys and
// the terminal given back as it was.
#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <thread>

#include "tests/handheld/hx410_fixture.h"

namespace pink {
namespace {

using testing::Hx410;
using testing::kAnswerMs;

struct OnTerminal : Hx410 {
  testkit::VirtualPort terminal{90};
  std::string screen;  // everything drawn so far
  termios before{};

  void start_on_terminal() {
    before = terminal.slave_termios();
    process = std::make_unique<testkit::Process>(
        "/bin/sh",
        std::vector<std::string>{"-c", "exec \"$0\" <\"$1\" >\"$1\"", testkit::program("hx410"),
                                 terminal.slave_path()},
        options());
  }

  // Waits until `text` has been drawn.
  bool shows(const std::string& text) {
    return testkit::wait_until(
        [&] {
          screen += terminal.read_available(10);
          return screen.find(text) != std::string::npos;
        },
        kAnswerMs);
  }

  std::optional<int> end_after(const std::string& keys) {
    terminal.write(keys);
    std::optional<int> status;
    testkit::wait_until(
        [&] {
          screen += terminal.read_available(10);
          status = process->wait(0);
          return status.has_value();
        },
        kAnswerMs * 2);
    screen += terminal.read_available(50);
    return status;
  }
};

TEST(Hx410Screen, ShowsTitleCountFileNameAndRecordsAndEndsOnQ) {
  OnTerminal t;
  t.start_on_terminal();
  ASSERT_TRUE(t.shows("\x1b[?1049h")) << "alternate screen";
  ASSERT_TRUE(t.shows("HX410"));
  ASSERT_TRUE(t.shows("핸디 터미널 수신 건수 : 0"));
  ASSERT_TRUE(t.shows("저장 파일명: out.txt"));
  ASSERT_TRUE(t.shows("q / Esc: 종   료"));
  EXPECT_EQ(t.terminal.slave_termios().c_cc[VSUSP], _POSIX_VDISABLE) << "keyboard read raw";

  ASSERT_TRUE(t.begin_transfer());
  ASSERT_TRUE(t.send_expecting_acks("\x02" "FIRST\x03"));
  ASSERT_TRUE(t.send_expecting_acks("\x02   \x03"));
  // A record never drives the terminal: its control characters show as "?".
  ASSERT_TRUE(t.send_expecting_acks("\x02" "\x1b[2Jevil\x03"));
  ASSERT_TRUE(t.shows("핸디 터미널 수신 건수 : 2"));
  ASSERT_TRUE(t.shows("FIRST"));
  ASSERT_TRUE(t.shows("?[2Jevil"));
  ASSERT_TRUE(t.send_expecting_acks(">"));
  ASSERT_TRUE(t.shows("==   수신 끝   ===="));
  EXPECT_EQ(t.output(), "FIRST\r\n\x1b[2Jevil\r\n");

  const auto status = t.end_after("q");
  ASSERT_TRUE(status.has_value()) << "q did not end the program";
  EXPECT_EQ(*status, 0);
  const auto leave = t.screen.rfind("\x1b[?1049l");
  ASSERT_NE(leave, std::string::npos) << "main screen given back";
  EXPECT_GT(leave, t.screen.rfind("수신 끝"));
  EXPECT_EQ(t.terminal.slave_termios().c_cc[VSUSP], t.before.c_cc[VSUSP]) << "keyboard mode given back";
  EXPECT_EQ(t.terminal.slave_termios().c_lflag, t.before.c_lflag);
  EXPECT_EQ(t.process->err(), "");
}

TEST(Hx410Screen, EscEndsButArrowKeysDoNot) {
  OnTerminal t;
  t.start_on_terminal();
  ASSERT_TRUE(t.shows("q / Esc"));
  t.terminal.write("\x1b[A\x1bOB");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(t.process->running()) << "an arrow key ended the program";
  const auto status = t.end_after("\x1b");
  ASSERT_TRUE(status.has_value()) << "Esc did not end the program";
  EXPECT_EQ(*status, 0);
  EXPECT_NE(t.screen.find("\x1b[?1049l"), std::string::npos);
}

TEST(Hx410Screen, StopSignalGivesTheTerminalBack) {
  OnTerminal t;
  t.start_on_terminal();
  ASSERT_TRUE(t.shows("q / Esc"));
  EXPECT_EQ(t.process->terminate(kAnswerMs), 0);
  t.screen += t.terminal.read_available(50);
  EXPECT_NE(t.screen.find("\x1b[?1049l"), std::string::npos);
  EXPECT_EQ(t.terminal.slave_termios().c_cc[VSUSP], t.before.c_cc[VSUSP]);
}

}  // namespace
}  // namespace pink
