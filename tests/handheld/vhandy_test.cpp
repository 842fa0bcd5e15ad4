// vhandy, the virtual handheld terminal, playing files through hx410, and its
// failures: no receiver, a receiver that ends, bad usage.
#include <gtest/gtest.h>

#include "tests/handheld/hx410_fixture.h"

namespace pink {
namespace {

using testing::cp949;
using testing::Hx410;
using testing::kAnswerMs;

constexpr int kVhandyPort = 6;

struct Played : Hx410 {
  Played() { conf.write("hx410.ini", std::to_string(kVhandyPort) + "\r\nout.txt\r\n"); }
  // CR LF and LF lines, a Korean record in cp949, a blank one, a last line without a break.
  std::string records = "FIRST\r\n" + cp949("두번째 자료") + "\n   \r\nLAST";
};

TEST(Vhandy, PlaysAFileThroughHx410) {
  Played p;
  p.work.write("records.txt", p.records);
  testkit::RunOptions o = p.options();
  const auto r = testkit::run(testkit::program("vhandy"),
                              {"COM6", "records.txt", "--", testkit::program("hx410")}, o);
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_EQ(p.output(), "FIRST\r\n" + cp949("두번째 자료") + "\r\nLAST\r\n");
  for (const char* line : {"-> ENQ\n<- ACK\n", "-> record 2 of 4: STX 두번째 자료 ETX\n<- ACK\n",
                           "-> end marker >\n<- ACK\n", "4 of 4 records acknowledged", "ended with status 0"}) {
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  }
  // hx410's own lines are passed on.
  EXPECT_NE(r.out.find("FIRST\n두번째 자료\nLAST\n==   수신 끝   ====\n"), std::string::npos) << r.out;
}

TEST(Vhandy, ListensForAProgramStartedSeparately) {
  Played p;
  p.work.write("records.txt", p.records);
  testkit::Process vhandy(testkit::program("vhandy"), {"COM6", "records.txt", "--listen"}, p.options());
  std::string device;
  ASSERT_TRUE(testkit::wait_until(
      [&] {
        const std::string out = vhandy.out();
        const auto nl = out.find('\n');
        if (nl != std::string::npos) device = out.substr(0, nl);
        return !device.empty();
      },
      kAnswerMs));
  EXPECT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
  testkit::RunOptions o = p.options();
  o.env["PINK_COM6"] = device;
  testkit::Process hx410(testkit::program("hx410"), {}, o);
  const auto status = vhandy.wait(30000);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 0) << vhandy.out() << vhandy.err();
  EXPECT_EQ(p.output(), "FIRST\r\n" + cp949("두번째 자료") + "\r\nLAST\r\n");
  EXPECT_EQ(hx410.terminate(kAnswerMs), 0);
}

TEST(Vhandy, FailsWithinItsBoundsWhenNobodyAnswers) {
  testkit::TempDir work;
  work.write("records.txt", "A\n");
  testkit::RunOptions o;
  o.cwd = work.path();

  const auto silent = testkit::run(testkit::program("vhandy"), {"COM6", "records.txt", "--listen", "--timeout", "1"}, o);
  EXPECT_EQ(silent.exit_code, 1);
  EXPECT_FALSE(silent.timed_out);
  EXPECT_NE(silent.out.find("no ACK for ENQ within 1000 ms"), std::string::npos) << silent.out;
  EXPECT_NE(silent.out.find("0 of 1 records acknowledged"), std::string::npos) << silent.out;

  // A program that ends at once (without a settings file it cannot open
  // any port) is noticed without waiting out the time-out.
  o.env["PINK_HX410_INI"] = work.file("missing/hx410.ini");
  const auto ended = testkit::run(testkit::program("vhandy"), {"COM6", "records.txt", "--", testkit::program("hx410")}, o);
  EXPECT_EQ(ended.exit_code, 1);
  EXPECT_NE(ended.out.find("the program ended first while waiting for the ACK of ENQ"), std::string::npos)
      << ended.out;
  EXPECT_NE(ended.out.find("ended with status 1"), std::string::npos) << ended.out;
}

TEST(Vhandy, BadUsageAndUnsendableFilesAreRefused) {
  testkit::TempDir work;
  work.write("etx.txt", "GOOD\nBAD\x03LINE\n");
  testkit::RunOptions o;
  o.cwd = work.path();
  const std::vector<std::vector<std::string>> bad{
      {},
      {"COM6"},
      {"PORT6", "etx.txt", "--listen"},
      {"COM6", "etx.txt"},
      {"COM6", "etx.txt", "--listen", "--", "x"},
      {"COM6", "etx.txt", "--listen", "--timeout", "0"},
      {"COM6", "missing.txt", "--listen"},
      {"COM6", "etx.txt", "--listen"},
  };
  for (const auto& args : bad) {
    const auto r = testkit::run(testkit::program("vhandy"), args, o);
    EXPECT_EQ(r.exit_code, 2) << ::testing::PrintToString(args) << r.err;
    EXPECT_NE(r.err.find("vhandy: "), std::string::npos) << r.err;
  }
  const auto etx = testkit::run(testkit::program("vhandy"), {"COM6", "etx.txt", "--listen"}, o);
  EXPECT_NE(etx.err.find("line 2 holds ETX"), std::string::npos) << etx.err;
  const auto help = testkit::run(testkit::program("vhandy"), {"--help"}, o);
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("usage: vhandy COMn FILE"), std::string::npos);
}

}  // namespace
}  // namespace pink
