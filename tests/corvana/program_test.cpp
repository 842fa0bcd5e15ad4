// The program `corvana` as the POS starts it: its command line, the settings
// store named by $PINK_SETTINGS, and an exit status that tells the outcome.
// Only runs that end before the network link library is loaded are here.
#include <gtest/gtest.h>

#include "platform/settings.h"
#include "platform/text.h"
#include "tools/testkit/testkit.h"

namespace pink {
namespace {

struct ProgramRun {
  testkit::TempStore store;
  testkit::TempDir work;

  void set(const std::string& key, const std::string& value) {
    settings::put("pink", "floyd", key, text::utf8_to_cp949(value));
  }
  std::string get(const std::string& key) {
    return text::cp949_to_utf8(settings::get("pink", "floyd", key));
  }
  testkit::RunResult run(const std::vector<std::string>& args) {
    testkit::RunOptions o;
    o.cwd = work.path();
    return testkit::run(testkit::program("corvana"), args, o);
  }
};

TEST(CorvanaBridgeProgram, FailuresEndWithEndAndTheErrorText) {
  struct Case {
    const char* state;
    std::vector<std::string> args;
    const char* error;
  };
  const Case cases[] = {{"Start", {"C/127.0.0.1/7000"}, "시작 상태 오류"},
                        {"start", {}, "시작 초기값 Null 오류"},
                        {"start", {"Q/127.0.0.1/7000"}, "시작 초기값 작업 구분 오류"},
                        {"start", {"C/127.0.0.1/seven"}, "System 오류 : 2"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    ProgramRun p;
    p.set("corvana_state", c.state);
    p.set("corvana_text", "AB1234");
    p.set("corvana_power", "earlier result");
    const auto r = p.run(c.args);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(p.get("corvana_state"), "End");
    EXPECT_EQ(p.get("corvana_error"), c.error);
    EXPECT_EQ(p.get("corvana_text"), "");
    EXPECT_EQ(p.get("corvana_power"), "");
    EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace pink
