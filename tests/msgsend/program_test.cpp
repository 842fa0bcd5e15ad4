// The msgsend program: help, usage errors refused before anything is sent
// (status 2), and sending through the message sending object to an
// unreachable provider and to the provider simulator.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/socket.h"
#include "tests/msgcall/provider.h"
#include "tools/testkit/testkit.h"

namespace pink {
namespace {


std::vector<std::string> one_message(const std::string& seq) {
  return {"--seq", seq, "--type", "M", "--user", "user01", "--dept", "영업부", "--call", "01012345678",
          "--req", "0212345678", "--subject", "오늘의 메뉴", "--text", "김밥 3000원"};
}

testkit::RunResult msgsend(const std::vector<std::string>& args, const testkit::TempDir& dir,
                           std::map<std::string, std::string> env = {}) {
  testkit::RunOptions o;
  o.cwd = dir.path();
  o.env = std::move(env);
  o.timeout_ms = 60000;
  return testkit::run(testkit::program("msgsend"), args, o);
}

TEST(MsgsendProgram, HelpAndUsageErrorsSendNothing) {
  testkit::TempDir dir;
  const auto help = msgsend({"--help"}, dir);
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("usage: msgsend --seq N"), std::string::npos) << help.out;

  dir.write("noext", "x");
  dir.write("bad.txt", "seq=1\ntype=M\nuser=u\ndept=d\ncall=010\nreq=02\nsubject=\ntext=\n\nseq=2\nwho=me\n");
  std::vector<std::string> no_req = one_message("A1");
  no_req.resize(no_req.size() - 6);
  no_req.insert(no_req.end(), {"--subject", "s", "--text", "t"});
  std::vector<std::string> missing_file = one_message("A1");
  missing_file.insert(missing_file.end(), {"--file", "menu.jpg"});
  std::vector<std::string> no_extension = one_message("A1");
  no_extension.insert(no_extension.end(), {"--file", "noext"});
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "msgsend: no message given"},
      {{"--colour", "red"}, "msgsend: unknown option --colour"},
      {no_req, "msgsend: --req is missing"},
      {missing_file, "msgsend: no file menu.jpg"},
      {no_extension, "msgsend: the file noext has no extension"},
      {{"--batch", "bad.txt"}, "msgsend: bad.txt: line 11: unknown key \"who\""},
      {{"--batch", "none.txt"}, "msgsend: cannot read the batch file none.txt"},
  };
  // The provider would be this listener: nothing may connect to it.
  auto listener = net::listen("127.0.0.1", 0);
  ASSERT_TRUE(listener);
  const std::string here = "127.0.0.1:" + std::to_string(listener->port());
  for (const auto& [args, expected] : cases) {
    const auto r = msgsend(args, dir, {{"PINK_MSG_PRIMARY", here}, {"PINK_MSG_SECONDARY", here}});
    EXPECT_EQ(r.exit_code, 2) << expected << "\n" << r.err;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), expected);
    EXPECT_NE(r.err.find("usage: msgsend"), std::string::npos);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(listener->accept(0), nullptr);
}

TEST(MsgsendProgram, AnUnreachableProviderIsReportedPerMessageWithStatusOne) {
  const std::uint16_t closed = msgcall::testing::closed_port();
  testkit::TempDir dir, logs;
  dir.write("two.txt", "seq=B1\n\nseq=B2\n");
  const std::string here = "127.0.0.1:" + std::to_string(closed);
  const std::map<std::string, std::string> env = {
      {"PINK_MSG_PRIMARY", here}, {"PINK_MSG_SECONDARY", here}, {"PINK_MSG_LOGDIR", logs.path()}};
  const auto one = msgsend(one_message("A1"), dir, env);
  EXPECT_EQ(one.exit_code, 1) << one.err;
  EXPECT_EQ(one.out, "message 1 (seq A1): -1 no server reachable\n");
  std::vector<std::string> batch = one_message("unused");
  batch.insert(batch.end(), {"--batch", "two.txt"});
  batch.erase(batch.begin(), batch.begin() + 2);  // the seq comes from the file
  const auto two = msgsend(batch, dir, env);
  EXPECT_EQ(two.exit_code, 1) << two.err;
  EXPECT_EQ(two.out, "message 1 (seq B1): -1 no server reachable\nmessage 2 (seq B2): -1 no server reachable\n");
}

TEST(MsgsendProgram, SendsOneMessageWithFilesAndABatchOfThreeToTheProvider) {
  msgcall::testing::Provider provider;
  testkit::TempDir dir, logs;
  dir.write("menu.jpg", std::string(2048, 'J'));
  dir.write("price.txt", "3000");
  dir.write("three.txt", "seq=B1\nfile=menu.jpg\n\nseq=B2\n\nseq=B3\ntext=마지막\\n끝\n");
  std::vector<std::string> one = one_message("A1");
  one.insert(one.end(), {"--file", "menu.jpg", "--file", dir.file("price.txt")});
  const auto r = msgsend(one, dir, provider.env(logs.path()));
  EXPECT_EQ(r.exit_code, 0) << r.err << provider.log();
  EXPECT_EQ(r.out, "message 1 (seq A1): 1 accepted\n");

  std::vector<std::string> batch = one_message("unused");
  batch.erase(batch.begin(), batch.begin() + 2);
  batch.insert(batch.end(), {"--batch", "three.txt"});
  const auto b = msgsend(batch, dir, provider.env(logs.path()));
  EXPECT_EQ(b.exit_code, 0) << b.err << provider.log();
  EXPECT_EQ(b.out,
            "message 1 (seq B1): 1 accepted\nmessage 2 (seq B2): 1 accepted\nmessage 3 (seq B3): 1 accepted\n");
}

}  // namespace
}  // namespace pink
