// Running the real receipt spoolers in a temporary working folder, with a
// settings store of their own and virtual devices.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/settings.h"
#include "platform/text.h"
#include "tools/testkit/testkit.h"

namespace pink::testing {

struct SpoolerRun {
  testkit::TempStore store;  // $PINK_SETTINGS for this process and the spooler
  testkit::TempDir work;     // the spooler's current folder
  testkit::TempDir signs;    // $PINK_SIGNDIR
  testkit::ScopedEnv signdir{"PINK_SIGNDIR", signs.path()};
  testkit::ScopedEnv lpt{"PINK_LPT1", work.file("lpt1.out")};

  SpoolerRun() {
    work.mkdir("zorlog");
    work.write("lpt1.out", "");
  }

  void job(const std::string& file, const std::vector<std::string>& lines) const {
    std::string text;
    for (const auto& l : lines) text += l + "\r\n";
    work.write(file, text);
  }

  testkit::RunResult run(const std::string& program, const std::string& bin_dir = "") {
    testkit::RunOptions o;
    o.cwd = work.path();
    o.timeout_ms = 30000;
    const std::string exe = bin_dir.empty() ? testkit::program(program) : bin_dir + "/" + program;
    return testkit::run(exe, {}, o);
  }

  // Mailbox keys (names and values in UTF-8 here for readability).
  std::string get(const std::string& section, const std::string& key) const {
    return text::cp949_to_utf8(settings::get("pink", section, key));
  }
  void set(const std::string& section, const std::string& key, const std::string& value) const {
    settings::put("pink", section, key, text::utf8_to_cp949(value));
  }
  std::string parallel_output() const { return work.read("lpt1.out"); }
  std::string log() const { return work.read("zorlog/ZorVB.log"); }
};

}  // namespace pink::testing
