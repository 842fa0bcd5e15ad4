// The mailbox command line, run as a program against a store of its own.
#include <gtest/gtest.h>

#include "tools/testkit/testkit.h"

namespace pink {
namespace {

struct Cli {
  testkit::TempDir dir;
  testkit::RunResult operator()(std::vector<std::string> args, std::string store = "") {
    testkit::RunOptions o;
    o.env["PINK_SETTINGS"] = store.empty() ? dir.file("settings.db") : store;
    return testkit::run(testkit::program("mailbox"), args, o);
  }
};

TEST(MailboxCli, SetsGetsAndListsKeepingApplicationsApart) {
  Cli cli;
  const auto set = cli({"set", "floyd", "kit_state", "end"});
  EXPECT_EQ(set.exit_code, 0) << set.err;
  EXPECT_EQ(set.out, "");
  ASSERT_EQ(cli({"set", "spiro", "kit_text", "포트지정오류 16"}).exit_code, 0);
  ASSERT_EQ(cli({"--app", "other", "set", "floyd", "kit_state", "elsewhere"}).exit_code, 0);

  // Names in any case; Korean values round-trip; a missing key is an empty line.
  EXPECT_EQ(cli({"get", "FLOYD", "KIT_STATE"}).out, "end\n");
  EXPECT_EQ(cli({"get", "spiro", "kit_text"}).out, "포트지정오류 16\n");
  const auto missing = cli({"get", "floyd", "no_such_key"});
  EXPECT_EQ(missing.exit_code, 0);
  EXPECT_EQ(missing.out, "\n");
  EXPECT_EQ(cli({"list"}).out, "floyd\tkit_state\tend\nspiro\tkit_text\t포트지정오류 16\n");
  EXPECT_EQ(cli({"list", "FLOYD"}).out, "floyd\tkit_state\tend\n");
  EXPECT_EQ(cli({"--app", "other", "get", "floyd", "kit_state"}).out, "elsewhere\n");
}

TEST(MailboxCli, BadUsageAndUnusableStoreExitWithTwo) {
  Cli cli;
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"get", "floyd"}, {"frobnicate"}, {"--app"}}) {
    const auto r = cli(args);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.err.find("usage"), std::string::npos) << r.err;
  }
  const auto r = cli({"get", "floyd", "kit_state"}, cli.dir.file("no/such/folder/settings.db"));
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("no/such/folder"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
}

}  // namespace
}  // namespace pink
