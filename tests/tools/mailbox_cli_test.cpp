// The mailbox command line, run as a program against a store of its own.
#include <gtest/gtest.h>

#include "tools/testkit/testkit.h"

namespace pink {
namespace {

using testkit::run;

struct Cli {
  testkit::TempDir dir;
  std::string db = dir.file("settings.db");
  testkit::RunResult operator()(std::vector<std::string> args, std::string store = "") {
    testkit::RunOptions o;
    o.env["PINK_SETTINGS"] = store.empty() ? db : store;
    return run(testkit::program("mailbox"), args, o);
  }
};

TEST(MailboxCli, SetThenGetWithOtherCase) {
  Cli cli;
  auto set = cli({"set", "floyd", "prttw_state", "start"});
  EXPECT_EQ(set.exit_code, 0) << set.err;
  EXPECT_EQ(set.out, "");
  auto get = cli({"get", "FLOYD", "PRTTW_STATE"});
  EXPECT_EQ(get.exit_code, 0) << get.err;
  EXPECT_EQ(get.out, "start\n");
}

TEST(MailboxCli, KoreanValueRoundTripsAndMissingKeyIsAnEmptyLine) {
  Cli cli;
  const std::string korean = "포트지정오류 16";
  ASSERT_EQ(cli({"set", "floyd", "kit_text", korean}).exit_code, 0);
  EXPECT_EQ(cli({"get", "floyd", "kit_text"}).out, korean + "\n");
  auto missing = cli({"get", "floyd", "no_such_key"});
  EXPECT_EQ(missing.exit_code, 0);
  EXPECT_EQ(missing.out, "\n");
}

TEST(MailboxCli, ListsKeysAndKeepsApplicationsApart) {
  Cli cli;
  cli({"set", "spiro", "PortCheckYN", "Y"});
  cli({"set", "floyd", "kit_state", "end"});
  cli({"set", "floyd", "kit_abc", "N"});
  cli({"--app", "other", "set", "floyd", "kit_state", "elsewhere"});

  EXPECT_EQ(cli({"list"}).out,
            "floyd\tkit_abc\tN\n"
            "floyd\tkit_state\tend\n"
            "spiro\tPortCheckYN\tY\n");
  EXPECT_EQ(cli({"list", "SPIRO"}).out, "spiro\tPortCheckYN\tY\n");
  EXPECT_EQ(cli({"--app", "other", "get", "floyd", "kit_state"}).out, "elsewhere\n");
}

TEST(MailboxCli, BadUsageAndUnusableStoreExitWithTwo) {
  Cli cli;
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"get", "floyd"}, {"set", "a", "b"}, {"frobnicate"}, {"--app"}, {"list", "a", "b"}}) {
    auto r = cli(args);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.err.find("usage"), std::string::npos) << r.err;
  }
  auto r = cli({"get", "floyd", "kit_state"}, cli.dir.file("no/such/folder/settings.db"));
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("no/such/folder"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
}

}  // namespace
}  // namespace pink
