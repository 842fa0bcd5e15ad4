// Kitchen spooler runs: the receipt spoolers' fixture plus the trace of
// mailbox writes, from which the order of the progress markers is read.
#pragma once

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

}  // namespace pink::testing
