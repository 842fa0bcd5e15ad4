#include "mailbox/log.h"

#include <gtest/gtest.h>

#include "platform/failure.h"
#include "tools/testkit/testkit.h"

namespace pink::mailbox {
namespace {

TEST(LogLine, ExactFormat) {
  clock::LocalTime t{.year = 2012, .month = 1, .day = 20, .hour = 9, .minute = 15, .second = 2};
  EXPECT_EQ(format_log_line("1 Port-3", t), "\"1 Port-3 2012-01-20 09:15:02\"\r\n");
  t.hour = 23;
  t.month = 12;
  EXPECT_EQ(format_log_line("", t), "\" 2012-12-20 23:15:02\"\r\n");
}

TEST(LogFile, AppendsOneLinePerWrite) {
  testkit::TempDir dir;
  dir.mkdir("zorlog");
  FileLog log(dir.file("zorlog/ZorVB.log"));
  log.write("1 Port-10");
  log.write("P Port-2");
  const std::string text = dir.read("zorlog/ZorVB.log");
  ASSERT_EQ(text.size(), 33u + 32u) << text;
  EXPECT_EQ(text.substr(0, 11), "\"1 Port-10 ");
  EXPECT_EQ(text.substr(31, 2), "\r\n");
  EXPECT_EQ(text.substr(33, 10), "\"P Port-2 ");
}

TEST(LogFile, MissingFolderIsPathNotFoundAndIsNotCreated) {
  testkit::TempDir dir;
  FileLog log(dir.file("zorlog/ZorVB.log"));
  try {
    log.write("1 Port-10");
    FAIL() << "log written without its folder";
  } catch (const Failure& e) {
    EXPECT_EQ(e.number(), 76);
    EXPECT_EQ(e.description(), "Path not found");
  }
  EXPECT_FALSE(dir.exists("zorlog"));
}

TEST(LogFile, DefaultPathIsUnderTheCurrentFolder) {
  const std::string p = FileLog::default_path();
  EXPECT_NE(p.find("zorlog"), std::string::npos);
  EXPECT_NE(p.find("ZorVB.log"), std::string::npos);
}

}  // namespace
}  // namespace pink::mailbox
