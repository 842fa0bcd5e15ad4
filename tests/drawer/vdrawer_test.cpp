// The vdrawer program as an integrator runs it: its log of a library's
// requests (with the sequence's waits as the socket saw them), the drawer
// closing on a command or after its time, refusals on request, a clean stop
// that removes the socket, and its command line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "drivers/drawer/family.h"
#include "pink/drawer.h"
#include "tests/drawer/tools_helpers.h"

namespace pink {
namespace {

using testing::LoggedRequest;
using testing::Server;

TEST(VdrawerProgram, LogsEachRequestWithItsTimeAndOpensOnTheLongPulse) {
  testkit::TempDir dir;
  const std::string log = dir.file("requests.log");
  Server vdrawer(testkit::program("vdrawer"), {"TevDraw2kKwDev", "--log", log}, dir.path());
  ASSERT_TRUE(vdrawer.ready()) << vdrawer.out();
  ASSERT_EQ(OpenDrawPort(), 1);
  EXPECT_EQ(GetDrawStatus(), 0);
  EXPECT_EQ(OpenDraw(), 1);
  EXPECT_EQ(GetDrawStatus(), PINK_DRAWER_STATUS_OPEN);
  EXPECT_EQ(CloseDrawPort(), 1);
  EXPECT_EQ(vdrawer.process().terminate(5000), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.file("TevDraw2kKwDev")));

  const std::string out = vdrawer.out();
  const std::vector<LoggedRequest> r = testing::logged_requests(out);
  ASSERT_EQ(r.size(), 5u) << out;
  const std::uint32_t codes[] = {0x9C407C00u, 0x9C40BC04u, 0x9C40BC08u, 0x9C40BC04u, 0x9C407C00u};
  const char* roles[] = {"status", "release-off", "release-on", "release-off", "status"};
  for (std::size_t i = 0; i < r.size(); ++i) {
    EXPECT_EQ(r[i].code, codes[i]) << i;
    EXPECT_EQ(r[i].role, roles[i]) << i;
    EXPECT_TRUE(r[i].accepted) << i;
    EXPECT_EQ(r[i].input, i == 0 || i == 4 ? "00000000" : "0000000010") << i;
    EXPECT_EQ(r[i].output_size, i == 0 || i == 4 ? 1u : 0u) << i;
  }
  EXPECT_EQ(r[0].rest, "status=0x00");
  EXPECT_EQ(r[4].rest, "status=0x01");
  EXPECT_GE(r[2].t_ms - r[1].t_ms, 10.0);
  EXPECT_GE(r[3].t_ms - r[2].t_ms, 30.0);
  EXPECT_LT(r[3].t_ms - r[1].t_ms, 40.0 + 1000.0);
  // The drawer opened 25 ms after the release was energised.
  const auto opened = testing::logged_time(out, "drawer open by=release");
  ASSERT_TRUE(opened.has_value()) << out;
  EXPECT_NEAR(*opened - r[2].t_ms, 25.0, 0.0015);
  // The log file has the same lines.
  EXPECT_EQ(dir.read("requests.log"), out);
}

TEST(VdrawerProgram, DrawerClosesOnCommandFromStandardInput) {
  testkit::TempDir dir;
  const std::string fifo = dir.file("commands");
  const auto argv = testing::with_stdin_from(fifo, testkit::program("vdrawer"), {"drawerio"});
  std::fstream commands(fifo, std::ios::in | std::ios::out);  // read-write: opens without waiting
  ASSERT_TRUE(commands.is_open());
  Server vdrawer("/bin/sh", argv, dir.path());
  ASSERT_TRUE(vdrawer.ready()) << vdrawer.out();
  ASSERT_EQ(OpenDrawPort(), 1);
  commands << "open\n" << std::flush;
  EXPECT_TRUE(testkit::wait_until([] { return GetDrawStatus() == PINK_DRAWER_STATUS_OPEN; }, 5000));
  commands << "close\n" << std::flush;
  EXPECT_TRUE(testkit::wait_until([] { return GetDrawStatus() == 0; }, 5000));
  // Opened by the release, closed by the command again.
  EXPECT_EQ(OpenDraw(), 1);
  EXPECT_EQ(GetDrawStatus(), PINK_DRAWER_STATUS_OPEN);
  commands << "status\nclose\n" << std::flush;
  EXPECT_TRUE(testkit::wait_until([] { return GetDrawStatus() == 0; }, 5000));
  EXPECT_EQ(CloseDrawPort(), 1);
  EXPECT_EQ(vdrawer.process().terminate(5000), 0);
  const std::string out = vdrawer.out();
  EXPECT_NE(out.find(" drawer open by=command\n"), std::string::npos) << out;
  EXPECT_NE(out.find(" status=0x01 open\n"), std::string::npos) << out;
  EXPECT_EQ(testing::logged_requests(out).back().rest, "status=0x00");
}

TEST(VdrawerProgram, DrawerClosesAfterItsSetTime) {
  testkit::TempDir dir;
  Server vdrawer(testkit::program("vdrawer"), {"TevDraw2kKwDev", "--close-after", "400"}, dir.path());
  ASSERT_TRUE(vdrawer.ready()) << vdrawer.out();
  ASSERT_EQ(OpenDrawPort(), 1);
  EXPECT_EQ(OpenDraw(), 1);
  EXPECT_TRUE(testkit::wait_until([] { return GetDrawStatus() == 0; }, 5000));
  EXPECT_EQ(CloseDrawPort(), 1);
  vdrawer.process().terminate(5000);
  const std::string out = vdrawer.out();
  const auto opened = testing::logged_time(out, "drawer open by=release");
  const auto closed = testing::logged_time(out, "drawer closed by=timer");
  ASSERT_TRUE(opened && closed) << out;
  EXPECT_NEAR(*closed - *opened, 400.0, 0.0015);
}

TEST(VdrawerProgram, RefusesTheCodesItIsToldTo) {
  testkit::TempDir dir;
  {
    // The last request refused: the call fails although the drawer opened.
    Server vdrawer(testkit::program("vdrawer"), {"drawerio", "--refuse", "0x9C40BC04"}, dir.path());
    ASSERT_TRUE(vdrawer.ready()) << vdrawer.out();
    ASSERT_EQ(OpenDrawPort(), 1);
    EXPECT_EQ(OpenDraw(), 0);
    EXPECT_EQ(CloseDrawPort(), 1);
    vdrawer.process().terminate(5000);
    const auto r = testing::logged_requests(vdrawer.out());
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[2].rest, "why=refused-by-option");
  }
  {
    // The release-on refused (decimal code): the call succeeds, the drawer stays shut.
    Server vdrawer(testkit::program("vdrawer"), {"drawerio", "--refuse", "2621488136"}, dir.path());
    ASSERT_TRUE(vdrawer.ready()) << vdrawer.out();
    ASSERT_EQ(OpenDrawPort(), 1);
    EXPECT_EQ(OpenDraw(), 1);
    EXPECT_EQ(GetDrawStatus(), 0);
    EXPECT_EQ(CloseDrawPort(), 1);
  }
}

TEST(VdrawerProgram, OneServerPerSocketAndStaleSocketsAreReplaced) {
  testkit::TempDir dir;
  testkit::ScopedEnv env("PINK_DRAWERDIR", dir.path());
  {
    Server first(testkit::program("vdrawer"), {"drawerio"}, dir.path());
    ASSERT_TRUE(first.ready()) << first.out();
    testkit::RunOptions o;
    o.env["PINK_DRAWERDIR"] = dir.path();
    const auto second = testkit::run(testkit::program("vdrawer"), {"drawerio"}, o);
    EXPECT_EQ(second.exit_code, 1);
    EXPECT_NE(second.err.find("another server"), std::string::npos) << second.err;
    EXPECT_EQ(OpenDrawPort(), 1);  // the first one still serves
    EXPECT_EQ(CloseDrawPort(), 1);
  }  // killed without a chance to clean up: its socket stays behind
  ASSERT_TRUE(std::filesystem::exists(dir.file("TevDraw2kKwDev")));
  EXPECT_EQ(OpenDrawPort(), 0);
  Server next(testkit::program("vdrawer"), {"drawerio"}, dir.path());
  ASSERT_TRUE(next.ready()) << next.out();
  EXPECT_EQ(OpenDrawPort(), 1);
  EXPECT_EQ(CloseDrawPort(), 1);
  EXPECT_EQ(next.process().terminate(5000), 0);

  // Something that is not a socket is never removed.
  dir.write("DovCBXDev", "keep me");
  testkit::RunOptions o;
  o.env["PINK_DRAWERDIR"] = dir.path();
  const auto refused = testkit::run(testkit::program("vdrawer"), {"DovCBXDev"}, o);
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_EQ(dir.read("DovCBXDev"), "keep me");
}

TEST(VdrawerProgram, CommandLine) {
  testkit::TempDir dir;
  testkit::RunOptions o;
  o.env["PINK_DRAWERDIR"] = dir.path();
  const auto help = testkit::run(testkit::program("vdrawer"), {"--help"}, o);
  EXPECT_EQ(help.exit_code, 0);
  for (const char* word : {"--close-after", "--refuse", "--log", "PINK_DRAWERDIR", "close"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"--close-after", "5"},
      {"drawerio", "--close-after"},
      {"drawerio", "--close-after", "-5"},
      {"drawerio", "--refuse", "0x1G"},
      {"drawerio", "--refuse", "0x100000000"},
      {"drawerio", "--mode", "9"},
      {"drawerio", "--what"},
      {"../escape"},
  };
  for (const auto& args : bad) {
    const auto r = testkit::run(testkit::program("vdrawer"), args, o);
    EXPECT_EQ(r.exit_code, 2) << ::testing::PrintToString(args);
    EXPECT_NE(r.err.find("usage"), std::string::npos) << ::testing::PrintToString(args);
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace pink
