// Kitchen spooler runs: the receipt spoolers' fixture plus the trace of
// mailbox writes, from which the order of the progress markers is read.
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/spoolers/spooler_fixture.h"

namespace pink::testing {

struct KitchenRun : SpoolerRun {
  testkit::ScopedEnv trace{"PINK_MAILBOX_TRACE", work.file("trace.txt")};

  // Every value written to "floyd"/<key>, in order (UTF-8).
  std::vector<std::string> writes_of(const std::string& key) const {
    std::vector<std::string> values;
    std::istringstream in(work.read("trace.txt"));
    std::string line;
    while (std::getline(in, line)) {
      const auto t1 = line.find('\t');
      const auto t2 = line.find('\t', t1 + 1);
      if (t1 == std::string::npos || t2 == std::string::npos) continue;
      if (line.substr(0, t1) == "floyd" && line.substr(t1 + 1, t2 - t1 - 1) == key) {
        values.push_back(text::cp949_to_utf8(line.substr(t2 + 1)));
      }
    }
    return values;
  }
  std::vector<std::string> markers() const {
    std::vector<std::string> m;
    for (auto& v : writes_of("kit_process")) {
      if (!v.empty()) m.push_back(v);
    }
    return m;
  }
  void clear_trace() const { work.write("trace.txt", ""); }
};

// A resident kitchen printer (kitmux, kitfeed) started in the working folder
// and driven through the mailbox the way the POS drives it.
struct Resident : KitchenRun {
  testkit::TempDir locks;
  testkit::ScopedEnv lockdir{"PINK_LOCKDIR", locks.path()};
  std::unique_ptr<testkit::Process> process;

  void start(const std::string& program) {
    testkit::RunOptions o;
    o.cwd = work.path();
    process = std::make_unique<testkit::Process>(testkit::program(program), std::vector<std::string>{}, o);
  }
  // Started is when the program has written its first status text.
  bool started(std::uint32_t timeout_ms = 20000) const {
    return testkit::wait_until([&] { return !writes_of("kit_text").empty(); }, timeout_ms);
  }
  // Writes the job and asks for it; waits until the program reports the end
  // ("end" and the request flag back to "N") or has ended. Generous bound:
  // only a job that never ends fails, not a loaded machine.
  void submit(const std::vector<std::string>& lines) {
    set("floyd", "kit_state", "");
    job("kitchen.zor", lines);
    set("floyd", "kit_abc", "Y");
    ASSERT_TRUE(testkit::wait_until(
        [&] { return (get("floyd", "kit_state") == "end" && get("floyd", "kit_abc") == "N") || !process->running(); },
        20000))
        << "no end reported";
  }
};

}  // namespace pink::testing
