// msgsend's command line and batch file: what is taken, what is refused
// before anything is sent, and the messages a batch file makes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/msgsend/options.h"

namespace pink::msgsend {
namespace {

const std::vector<std::string> kOne = {"--seq", "A1", "--type", "M", "--user", "u1", "--dept", "d1",
                                       "--call", "01012345678", "--req", "0212345678",
                                       "--subject", "S", "--text", ""};

std::optional<Options> parse(std::vector<std::string> args, std::string& error) {
  return parse_options(args, error);
}

std::string check_of(const Fields& m) {
  std::vector<std::string> warnings;
  return check(m, warnings);
}

TEST(MsgsendOptions, OneMessageWithFilesInOrderAndBothOptionForms) {
  std::vector<std::string> args = kOne;
  for (const char* a : {"--file", "a.jpg", "--file=b.png", "--rdate=2024010112000000"}) args.push_back(a);
  std::string error;
  const auto o = parse(args, error);
  ASSERT_TRUE(o) << error;
  EXPECT_FALSE(o->help);
  EXPECT_TRUE(o->batch.empty());
  EXPECT_EQ(o->message.seq, "A1");
  EXPECT_EQ(o->message.call, "01012345678");
  EXPECT_EQ(o->message.text, "");
  EXPECT_EQ(o->message.rdate, "2024010112000000");
  EXPECT_EQ(o->message.files, (std::vector<std::string>{"a.jpg", "b.png"}));
  EXPECT_EQ(check_of(o->message), "");
  // A value may look like an option: it is the value.
  args = kOne;
  args.back() = "--text";
  const auto dashed = parse(args, error);
  ASSERT_TRUE(dashed) << error;
  EXPECT_EQ(dashed->message.text, "--text");
}

TEST(MsgsendOptions, UsageErrorsAreRefused) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
      {{"--seq"}, "--seq needs a value"},
      {{"--colour", "red"}, "unknown option --colour"},
      {{"--colour=red"}, "unknown option --colour"},
      {{"message"}, "unexpected argument \"message\""},
      {{"--"}, "unexpected argument \"--\""},
      {{"--seq", "1", "--seq", "2"}, "--seq is given twice"},
      {{"--file", "a.x", "--file", "b.x", "--file", "c.x", "--file", "d.x"}, "at most three files can be attached"},
      {{"--batch", "a", "--batch", "b"}, "--batch takes one file"},
      {{"--batch", "a", "--file", "x.jpg"}, "with --batch, files are given in the batch file"},
  };
  for (const auto& [args, expected] : bad) {
    std::string error;
    EXPECT_FALSE(parse(args, error)) << expected;
    EXPECT_EQ(error, expected);
  }
  std::string error;
  const auto help = parse({"--help"}, error);
  ASSERT_TRUE(help);
  EXPECT_TRUE(help->help);
}

TEST(MsgsendOptions, MessagesMissingKeysOrTooLongForTheirFieldsAreRefused) {
  std::string error;
  Fields m = parse(kOne, error)->message;
  EXPECT_EQ(check_of(m), "");
  Fields no_req = parse(std::vector<std::string>(kOne.begin(), kOne.end() - 6), error)->message;
  EXPECT_EQ(check_of(no_req), "--req is missing");
  Fields empty_call = m;
  empty_call.call = "";
  EXPECT_EQ(check_of(empty_call), "--call is empty");
  Fields long_call = m;
  long_call.call = "01012345678901";  // 14 digits would be cut to another number
  EXPECT_EQ(check_of(long_call), "--call is 14 bytes; at most 13 fit");
  Fields long_seq = m;
  long_seq.seq = std::string(33, '9');
  EXPECT_EQ(check_of(long_seq), "--seq is 33 bytes; at most 32 fit");
  Fields text = m;
  text.text = std::string(9999, 'x');
  EXPECT_EQ(check_of(text), "");
  text.text += "x";  // 10000 bytes do not fit the four-digit length
  EXPECT_EQ(check_of(text), "--text is 10000 bytes; at most 9999 fit");
  Fields korean_dept = m;
  korean_dept.dept = std::string(14, '\xB0');  // seven two-byte characters: 14 bytes
  EXPECT_EQ(check_of(korean_dept), "--dept is 14 bytes; at most 12 fit");

  Fields subject = m;
  subject.subject = std::string(121, 's');
  std::vector<std::string> warnings;
  EXPECT_EQ(check(subject, warnings), "");  // cut by the record, as documented
  EXPECT_EQ(warnings, (std::vector<std::string>{"--subject is 121 bytes; the provider gets the first 120"}));
}

TEST(MsgsendBatch, BlocksBecomeMessagesWithTheCommandLineAsDefaults) {
  const std::string file =
      "\xEF\xBB\xBF# lunch menu\r\n"
      "seq=B1\r\n"
      "call=01011112222\r\n"
      "subject=오늘의 메뉴\r\n"
      "text=김밥\\n라면\\t1\\\\2\r\n"
      "file=menu.jpg\r\n"
      "file=map.png\r\n"
      "\r\n"
      "\n"
      "  seq = B2\n"
      "# a comment inside a block\n"
      "call=01033334444\n"
      "subject=\n"
      "text==equals=\n"
      "req=0299998888\n";
  std::string error;
  const auto o = parse_options({"--type", "M", "--user", "u1", "--dept", "d1", "--req", "0212345678"}, error);
  ASSERT_TRUE(o) << error;
  const auto messages = parse_batch(file, o->message, error);
  ASSERT_TRUE(messages) << error;
  ASSERT_EQ(messages->size(), 2u);
  const Fields& a = (*messages)[0];
  EXPECT_EQ(a.line, 2);
  EXPECT_EQ(a.seq, "B1");
  EXPECT_EQ(a.user, "u1");
  EXPECT_EQ(a.req, "0212345678");
  EXPECT_EQ(a.subject, "\xBF\xC0\xB4\xC3\xC0\xC7 \xB8\xDE\xB4\xBA");  // cp949 inside
  EXPECT_EQ(a.text, "\xB1\xE8\xB9\xE4\n\xB6\xF3\xB8\xE9\t1\\2");
  EXPECT_EQ(a.files, (std::vector<std::string>{"menu.jpg", "map.png"}));
  const Fields& b = (*messages)[1];
  EXPECT_EQ(b.line, 10);
  EXPECT_EQ(b.seq, " B2");  // values keep every byte after the "="
  EXPECT_EQ(b.subject, "");
  EXPECT_EQ(b.text, "=equals=");
  EXPECT_EQ(b.req, "0299998888");  // the block's own value wins
  EXPECT_TRUE(b.files.empty());
  for (const Fields& m : *messages) EXPECT_EQ(check_of(m), "");
  EXPECT_EQ(check_sender(*messages), "");
}

TEST(MsgsendBatch, MalformedFilesAreRefusedWithTheirLine) {
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"seq=1\ncall\n", "line 2: expected key=value"},
      {"seq=1\ncolour=red\n", "line 2: unknown key \"colour\""},
      {"seq=1\nseq=2\n", "line 2: \"seq\" is given twice"},
      {"text=a\\qb\n", "line 1: a backslash starts none of \\n \\r \\t \\\\"},
      {"text=a\\\n", "line 1: a backslash starts none of \\n \\r \\t \\\\"},
      {"file=1.a\nfile=2.a\nfile=3.a\nfile=4.a\n", "line 4: at most three files can be attached"},
      {"seq=1\ntext=\xC7\xD1\n", "line 2: not UTF-8, or a character without a code in the Korean code page"},
      {"text=\xF0\x9F\x98\x80\n", "line 1: not UTF-8, or a character without a code in the Korean code page"},
      {"# nothing\n\n\n", "no messages in the batch file"},
      {"", "no messages in the batch file"},
  };
  for (const auto& [file, expected] : bad) {
    std::string error;
    EXPECT_FALSE(parse_batch(file, Fields{}, error)) << expected;
    EXPECT_EQ(error, expected);
  }
  // Blocks are checked one by one, with their line; one login serves them all.
  std::string error;
  const auto messages = parse_batch(
      "seq=1\ntype=M\nuser=u\ndept=d\ncall=010\nreq=02\nsubject=\ntext=\n\n"
      "seq=2\ntype=M\nuser=v\ndept=d\ncall=010\nreq=02\nsubject=\ntext=\n\n"
      "seq=3\ntype=M\nuser=u\ndept=d\nreq=02\nsubject=\ntext=\n",
      Fields{}, error);
  ASSERT_TRUE(messages) << error;
  EXPECT_EQ(check_of((*messages)[0]), "");
  EXPECT_EQ(check_of((*messages)[2]), "message at line 19: call is missing");
  EXPECT_EQ(check_sender(*messages),
            "message at line 10: user, dept and type must be those of the first message (one login serves the batch)");
}

}  // namespace
}  // namespace pink::msgsend
