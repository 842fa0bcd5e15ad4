// The resident kitchen printers of the Windows build under Wine, started
// where no window station can take a close message (no display): a few jobs
// through the mailbox, byte for byte against the Linux build, and a clean
// stop from another process with "--stop": the job under way finished, the
// ports closed ("Unload"), exit status 0, and the single-instance lock free
// for the next start.
#include <gtest/gtest.h>

#include <functional>

#include "platform/settings.h"
#include "platform/text.h"
#include "tests/wintest/job_compare.h"

namespace pink {
namespace {

using testkit::Wine;
using wintest::Entry;

constexpr std::uint32_t kJobMs = 15000;

struct Session {
  int exit_code = -1;       // of the program after the stop
  int stop_status = -1;     // of "--stop"
  std::vector<std::string> printed;  // serial bytes of each job
  std::vector<Entry> mailbox;
  std::string trace;
};

std::string kitchen_file(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& l : lines) text += text::utf8_to_cp949(l) + "\r\n";
  return text;
}

// The steps both sides take, over their own mailbox and program.
struct Side {
  std::function<std::string(const std::string&)> get;  // floyd key -> value
  std::function<void(const std::string&, const std::string&)> put;
  std::function<bool()> running;
};

// Waits for the start-up, runs the jobs one after the other as the POS does
// and reads what each printed.
::testing::AssertionResult run_jobs(const std::string& program, Side& side, const testkit::TempDir& work,
                                    testkit::VirtualPort& port, const std::vector<std::vector<std::string>>& jobs,
                                    Session& s) {
  // kitmux has loaded once it says so; kitfeed once it has written its last start-up key.
  auto ready = [&] {
    if (program == "kitmux") return side.get("kit_state") == "Load";
    return work.read("trace.txt").find("kit_text") != std::string::npos;
  };
  const bool started = testkit::wait_until([&] { return !side.running() || ready(); }, kJobMs);
  if (!started || !side.running()) return ::testing::AssertionFailure() << program << " did not start";
  for (const auto& lines : jobs) {
    side.put("kit_state", "");
    work.write("kitchen.zor", kitchen_file(lines));
    side.put("kit_abc", "Y");
    const bool done = testkit::wait_until(
        [&] { return !side.running() || (side.get("kit_state") == "end" && side.get("kit_abc") == "N"); }, kJobMs);
    if (!done) return ::testing::AssertionFailure() << program << ": no end reported for " << lines[0];
    s.printed.push_back(port.read_sent(20000));
  }
  return ::testing::AssertionSuccess();
}

Session on_linux(const std::string& program, int com, const std::vector<std::vector<std::string>>& jobs) {
  Session s;
  testkit::TempStore store;
  testkit::TempDir work, locks;
  work.write("trace.txt", "");
  testkit::ScopedEnv lockdir("PINK_LOCKDIR", locks.path());
  testkit::ScopedEnv trace("PINK_MAILBOX_TRACE", work.file("trace.txt"));
  testkit::VirtualPort port(com);
  testkit::RunOptions o;
  o.cwd = work.path();
  testkit::Process p(testkit::program(program), {}, o);
  Side side{[](const std::string& k) { return text::cp949_to_utf8(settings::get("pink", "floyd", k)); },
            [](const std::string& k, const std::string& v) { settings::put("pink", "floyd", k, v); },
            [&] { return p.running(); }};
  EXPECT_TRUE(run_jobs(program, side, work, port, jobs, s));
  s.stop_status = testkit::run(testkit::program(program), {"--stop"}, o).exit_code;
  s.exit_code = p.wait(kJobMs).value_or(-1);
  for (const auto& e : settings::list("pink")) {
    s.mailbox.push_back({text::cp949_to_utf8(e.section), text::cp949_to_utf8(e.key), text::cp949_to_utf8(e.value)});
  }
  s.trace = text::cp949_to_utf8(work.read("trace.txt"));
  return s;
}

Session on_windows(const std::string& program, int com, const std::vector<std::vector<std::string>>& jobs,
                   std::string* second_start = nullptr) {
  Session s;
  wintest::PrefixLock lock;
  testkit::TempDir work;
  work.write("trace.txt", "");
  wintest::clear_mailbox();
  testkit::WinePort port(com);
  testkit::RunOptions o;
  o.cwd = work.path();
  o.env["PINK_MAILBOX_TRACE"] = Wine::windows_path(work.file("trace.txt"));
  const std::string exe = Wine::shared().program(program + ".exe");
  auto p = wintest::start(exe, {}, o);
  Side side{[](const std::string& k) { return wintest::get("floyd", k); },
            [](const std::string& k, const std::string& v) { wintest::put("floyd", k, v); },
            [&] { return p->running(); }};
  EXPECT_TRUE(run_jobs(program, side, work, port, jobs, s));
  if (second_start) {
    // The single-instance lock: a second start ends at once, mailbox untouched.
    wintest::put("floyd", "kit_state", "marker");
    const auto second = Wine::shared().run(exe, {}, o);
    EXPECT_EQ(second.exit_code, 0);
    EXPECT_FALSE(second.timed_out);
    EXPECT_EQ(wintest::get("floyd", "kit_state"), "marker");
    EXPECT_TRUE(p->running());
    wintest::put("floyd", "kit_state", "end");
  }
  s.stop_status = Wine::shared().run(exe, {"--stop"}, o).exit_code;
  s.exit_code = p->wait(kJobMs).value_or(-1);
  s.mailbox = wintest::list_mailbox();
  s.trace = text::cp949_to_utf8(work.read("trace.txt"));
  if (second_start) {
    // Nothing listens any more; the next start takes the lock and loads.
    *second_start = std::to_string(Wine::shared().run(exe, {"--stop"}, o).exit_code);
    wintest::put("floyd", "kit_state", "");
    auto next = wintest::start(exe, {}, o);
    const bool loaded = testkit::wait_until([&] { return wintest::get("floyd", "kit_state") == "Load"; }, kJobMs);
    *second_start += loaded ? " loaded" : " not loaded";
    *second_start += " " + std::to_string(Wine::shared().run(exe, {"--stop"}, o).exit_code);
    *second_start += " " + std::to_string(next->wait(kJobMs).value_or(-1));
  }
  return s;
}

void expect_same(const Session& l, const Session& w) {
  EXPECT_EQ(w.stop_status, 0);
  EXPECT_EQ(w.exit_code, 0);
  EXPECT_EQ(l.stop_status, 0);
  EXPECT_EQ(l.exit_code, 0);
  ASSERT_EQ(w.printed.size(), l.printed.size());
  for (std::size_t i = 0; i < l.printed.size(); ++i) {
    EXPECT_EQ(wintest::escaped(w.printed[i]), wintest::escaped(l.printed[i])) << "job " << i;
  }
  EXPECT_EQ(wintest::describe(w.mailbox), wintest::describe(l.mailbox));
  EXPECT_EQ(w.trace, l.trace);
}

TEST(WindowsKitmux, JobsOnAPortKeptOpenThenACleanStopFromAnotherProcess) {
  PINK_REQUIRE_WINE();
  const std::vector<std::vector<std::string>> jobs = {
      {"12T0XX", "주문 1", "COLA  2"}, {"121 5X", "한글", "ABC"}, {"12N7XX", "A#NULL#B"}, {"12 N8X", "EDITED"}};
  const Session l = on_linux("kitmux", 12, jobs);
  std::string second;
  const Session w = on_windows("kitmux", 12, jobs, &second);
  expect_same(l, w);
  for (const auto& printed : w.printed) EXPECT_FALSE(printed.empty());
  EXPECT_NE(wintest::describe(w.mailbox).find("kit_process = \"Unload\""), std::string::npos)
      << wintest::describe(w.mailbox);
  // "--stop" with nothing running says so (1); the next start loads and stops cleanly.
  EXPECT_EQ(second, "1 loaded 0 0");
}

TEST(WindowsKitfeed, JobsAndABadPortThenACleanStopFromAnotherProcess) {
  PINK_REQUIRE_WINE();
  const std::vector<std::vector<std::string>> jobs = {
      {"13T0XX", "ORDER", "#NULL#"}, {"16T0XX", "X"}, {"132 7X", "A#NULL#B"}, {"P 1 XX", "PARALLEL"}};
  const Session l = on_linux("kitfeed", 13, jobs);
  const Session w = on_windows("kitfeed", 13, jobs);
  expect_same(l, w);
  ASSERT_EQ(w.printed.size(), 4u);
  EXPECT_FALSE(w.printed[0].empty());
  EXPECT_FALSE(w.printed[2].empty());
  EXPECT_NE(wintest::describe(w.mailbox).find("kit_error = \"syserror\""), std::string::npos);
}

}  // namespace
}  // namespace pink
