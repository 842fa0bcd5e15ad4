// --help and --version of every program and tool: the answer, and proof that
// nothing was touched (store, working folder, lock folder, ports).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/help.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace pink {
namespace {

namespace fs = std::filesystem;

// Every program and tool the build puts in the bin folder.
const std::vector<std::string>& programs() {
  static const std::vector<std::string> list{
      "printer", "enter",   "kitchen", "kitchenb", "kitmux",  "kitfeed",  "pds",    "corvana",
      "hx410",   "commsend", "drawerd", "mailbox",  "msgsend", "msgsim",   "padctl", "paysim",
      "vcom",    "vdisplay", "vdrawer", "vhandy",   "vpad",    "vprinter", "vscanner"};
  return list;
}

// What a folder holds: every entry's relative path, type, size and
// modification time in nanoseconds.
std::map<std::string, std::string> snapshot(const std::string& root) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    struct stat st {};
    if (lstat(e.path().c_str(), &st) != 0) continue;
    out[fs::relative(e.path(), root).string()] =
        std::to_string(st.st_mode) + "/" + std::to_string(st.st_size) + "/" +
        std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
  }
  return out;
}

bool same_line(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && cfgetospeed(&a) == cfgetospeed(&b) && cfgetispeed(&a) == cfgetispeed(&b);
}

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// A world the program could touch: a working folder with a job for every
// spooler on COM1, a home, a lock folder, a store location, a trace file
// location, and virtual ports COM1..COM4 whose line is watched.
struct World {
  testkit::TempDir root;
  std::vector<std::unique_ptr<testkit::VirtualPort>> ports;
  std::vector<termios> fresh;
  testkit::RunOptions options;

  World() {
    for (const char* job : {"printer.zor", "enter.zor", "kitchen.zor", "kitchenb.zor"}) {
      root.write(std::string("work/") + job, "1XCXN\r\nHELLO\r\n");
    }
    root.mkdir("work/zorlog");
    root.mkdir("home");
    root.mkdir("locks");
    root.mkdir("store");
    for (int com = 1; com <= 4; ++com) {
      ports.push_back(std::make_unique<testkit::VirtualPort>(com));
      fresh.push_back(ports.back()->slave_termios());
    }
    options.cwd = root.file("work");
    options.timeout_ms = 10000;
    options.env = {{"PINK_SETTINGS", store()},
                   {"HOME", root.file("home")},
                   {"XDG_RUNTIME_DIR", root.file("locks")},
                   {"PINK_LOCKDIR", root.file("locks")},
                   {"PINK_DRAWERDIR", root.file("locks")},
                   {"PINK_SIGNDIR", root.file("work")},
                   {"PINK_HX410_INI", root.file("work/hx410.ini")},
                   {"PINK_MSG_LOGDIR", root.file("locks")},
                   {"PINK_MAILBOX_TRACE", root.file("work/trace.txt")}};
  }
  std::string store() const { return root.file("store/settings.db"); }

  // The ports' lines are as fresh and nothing arrived on them.
  void expect_ports_untouched(const std::string& what) {
    for (std::size_t i = 0; i < ports.size(); ++i) {
      EXPECT_TRUE(same_line(ports[i]->slave_termios(), fresh[i])) << what << ": " << ports[i]->name() << " was set up";
      EXPECT_EQ(ports[i]->read_available(0), "") << what << ": bytes on " << ports[i]->name();
    }
  }
};

class Help : public testing::TestWithParam<std::string> {};

TEST_P(Help, AnswersHelpAndVersionTouchingNothing) {
  const std::string name = GetParam();
  World world;

  // With no store yet: it must not be created.
  auto before = snapshot(world.root.path());
  const auto help = testkit::run(testkit::program(name), {"--help"}, world.options);
  EXPECT_EQ(help.exit_code, 0) << help.err;
  EXPECT_EQ(help.out.rfind("usage: " + name, 0), 0u) << help.out;
  EXPECT_NE(lower(help.out).find("exit status"), std::string::npos) << help.out;
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(snapshot(world.root.path()), before) << "--help changed the folders";
  EXPECT_FALSE(world.root.exists("store/settings.db"));
  world.expect_ports_untouched("--help");

  // With a store: it stays as it was.
  testkit::RunOptions set = world.options;
  set.cwd = world.root.path();
  ASSERT_EQ(testkit::run(testkit::program("mailbox"), {"set", "floyd", "kit_abc", "Y"}, set).exit_code, 0);
  before = snapshot(world.root.path());
  const std::string store_bytes = world.root.read("store/settings.db");
  const auto version = testkit::run(testkit::program(name), {"--version"}, world.options);
  EXPECT_EQ(version.exit_code, 0) << version.err;
  EXPECT_EQ(version.out, name + " (pink) " + std::string(cli::suite_version()) + "\n");
  EXPECT_EQ(snapshot(world.root.path()), before) << "--version changed the folders";
  EXPECT_EQ(world.root.read("store/settings.db"), store_bytes);
  world.expect_ports_untouched("--version");
}

INSTANTIATE_TEST_SUITE_P(EveryProgram, Help, testing::ValuesIn(programs()),
                         [](const testing::TestParamInfo<std::string>& p) { return p.param; });

TEST(HelpList, CoversEveryProgramInTheBinFolder) {
  std::set<std::string> built;
  for (const auto& e : fs::directory_iterator(testkit::bin_dir())) {
    const std::string file = e.path().filename().string();
    if (!e.is_regular_file() || access(e.path().c_str(), X_OK) != 0) continue;
    if (file.find(".so") != std::string::npos || file.ends_with(".py")) continue;
    built.insert(file);
  }
  const std::set<std::string> listed(programs().begin(), programs().end());
  for (const std::string& p : built) EXPECT_TRUE(listed.contains(p)) << p << " has no --help check";
}

// The programs the POS starts take no arguments: anything but a first
// --help, -h or --version leaves the job to run as before.
TEST(HelpList, OtherArgumentsStillRunTheJob) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{"x"}, {"--helpme"}, {"x", "--help"}}) {
    World world;
    const auto r = testkit::run(testkit::program("printer"), args, world.options);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(world.ports[0]->read_exact(7, 5000), "HELLO\r\n") << args[0];
    EXPECT_TRUE(world.root.exists("store/settings.db"));
  }
}

TEST(HelpText, RendersUsageSectionsAndSkipsEmptyOnes) {
  const cli::Help help{"tool", "A B\n--help", "Does a thing.\nTwo lines.", "PINK_X  the x", "", "0  done\n2  bad"};
  EXPECT_EQ(cli::render(help),
            "usage: tool A B\n"
            "       tool --help\n"
            "\n"
            "Does a thing.\n"
            "Two lines.\n"
            "\n"
            "Configuration:\n"
            "  PINK_X  the x\n"
            "\n"
            "Exit status:\n"
            "  0  done\n"
            "  2  bad\n");
}

TEST(HelpText, OnlyTheFirstArgumentAsks) {
  EXPECT_EQ(cli::answer({"--help"}, "p", "TEXT"), "TEXT");
  EXPECT_EQ(cli::answer({"-h", "x"}, "p", "TEXT"), "TEXT");
  EXPECT_EQ(cli::answer({"--version"}, "p", "TEXT"), "p (pink) " + std::string(cli::suite_version()) + "\n");
  EXPECT_EQ(cli::answer({}, "p", "TEXT"), std::nullopt);
  EXPECT_EQ(cli::answer({"C/1.2.3.4/5", "--help"}, "p", "TEXT"), std::nullopt);
  EXPECT_EQ(cli::answer({"--stop"}, "p", "TEXT"), std::nullopt);
  EXPECT_EQ(cli::answer({"--helpme"}, "p", "TEXT"), std::nullopt);
}

}  // namespace
}  // namespace pink
