// hx410 of the Windows build under Wine with its window on a virtual
// display: a whole transfer played as the handheld terminal plays it, the
// answers on the line and the output file byte for byte against the Linux
// build.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/text.h"
#include "tests/wintest/job_compare.h"

namespace pink {
namespace {

using testkit::Wine;
namespace fs = std::filesystem;

constexpr std::uint32_t kAnswerMs = 5000;

// The terminal's side: ENQ until it is answered (a program still starting
// reads it late or together with another), then each record and the end
// marker, each answered by one ACK. Returns what was answered, in order.
std::string play_transfer(testkit::VirtualPort& port, const std::function<bool()>& running) {
  std::string answers;
  for (int attempt = 0; attempt < 10 && answers.empty() && running(); ++attempt) {
    port.write("\x05");
    answers = port.read_exact(1, 2000);
  }
  if (answers != "\x06") return "no ACK for ENQ: " + answers;
  const std::string records[] = {"\x02" "ABC 123\x03", "\x02" + text::utf8_to_cp949("한글 자료") + "\x03",
                                 "\x02    \x03", "\x02" "A\x03\x02" "B\x03"};
  for (const auto& r : records) {
    port.write(r);
    const std::size_t acks = r.find('\x03') == r.rfind('\x03') ? 1 : 2;
    answers += port.read_exact(acks, kAnswerMs);
  }
  port.write(">");
  answers += port.read_exact(1, kAnswerMs);
  return answers;
}

struct Transfer {
  std::string answers;
  std::string output;
  std::uint32_t baud = 0;
};

Transfer on_linux(int com) {
  Transfer t;
  testkit::TempDir work, conf;
  conf.write("hx410.ini", std::to_string(com) + "\r\nout.txt\r\n");
  testkit::ScopedEnv ini("PINK_HX410_INI", conf.file("hx410.ini"));
  testkit::VirtualPort port(com);
  testkit::RunOptions o;
  o.cwd = work.path();
  testkit::Process p(testkit::program("hx410"), {}, o);
  t.answers = play_transfer(port, [&] { return p.running(); });
  t.baud = port.line().baud;
  testkit::wait_until([&] { return work.exists("out.txt") && !work.read("out.txt").empty(); }, kAnswerMs);
  t.output = work.exists("out.txt") ? work.read("out.txt") : "<missing>";
  return t;
}

Transfer on_windows(int com) {
  Transfer t;
  wintest::WindowsDisplay display({"hx410.exe"});
  testkit::TempDir work, program;
  // The settings file lives beside the program: a copy of it in a folder of its own.
  fs::copy_file(Wine::shared().program("hx410.exe"), program.file("hx410.exe"));
  program.write("hx410.ini", std::to_string(com) + "\r\nout.txt\r\n");
  testkit::WinePort port(com);
  testkit::RunOptions o;
  o.cwd = work.path();
  auto p = wintest::start(program.file("hx410.exe"), {}, display.options(o));
  t.answers = play_transfer(port, [&] { return p->running(); });
  t.baud = port.line().baud;
  testkit::wait_until([&] { return work.exists("out.txt") && !work.read("out.txt").empty(); }, kAnswerMs);
  t.output = work.exists("out.txt") ? work.read("out.txt") : "<missing>";
  EXPECT_TRUE(p->running()) << p->err();  // it runs until the operator closes it
  return t;
}

TEST(WindowsHx410, ATransferWithItsWindowOnAVirtualDisplayWritesWhatLinuxWrites) {
  PINK_REQUIRE_WINE();
  const Transfer l = on_linux(14);
  const Transfer w = on_windows(14);
  EXPECT_EQ(l.answers, std::string(7, '\x06'));
  EXPECT_EQ(w.answers, l.answers);
  EXPECT_EQ(w.baud, 19200u);
  EXPECT_EQ(l.output, "ABC 123\r\n" + text::utf8_to_cp949("한글 자료") + "\r\nA\r\nB\r\n");
  EXPECT_EQ(wintest::escaped(w.output), wintest::escaped(l.output));
}

}  // namespace
}  // namespace pink
