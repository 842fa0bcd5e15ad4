// The day log: its file name and folder, the line prefix, every message text
// in cp949 with its LINE number, bounded lines, and a folder that is missing.
#include "msgcall/daylog.h"

#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <thread>

#include "msgcall/logtext.h"
#include "tools/testkit/testkit.h"

namespace pink::msgcall {
namespace {

using logtext::Caller;
using logtext::Event;

// cp949 of the Korean parts, written out by hand.
const std::string kAuthRequestFailed = "\xC0\xCE\xC1\xF5\xBF\xE4\xC3\xBB\xBD\xC7\xC6\xD0";  // 인증요청실패
const std::string kAuthOk = "\xC0\xCE\xC1\xF5\xBC\xBA\xB0\xF8";                              // 인증성공
const std::string kAuthFailed = "\xC0\xCE\xC1\xF5\xBD\xC7\xC6\xD0";                          // 인증실패
const std::string kCallFailed = "\xC8\xA3\xC3\xE2\xBF\xE4\xC3\xBB\xBD\xC7\xC6\xD0";        // 호출요청실패
const std::string kCallOk = "\xC8\xA3\xC3\xE2\xBF\xE4\xC3\xBB\xBC\xBA\xB0\xF8";            // 호출요청성공
const std::string kCannotConnect =
    "\xBF\xA1\x20\xBF\xAC\xB0\xE1\xC7\xD2\xBC\xF6\x20\xBE\xF8\xBD\xC0\xB4\xCF\xB4\xD9.";  // 에 연결할수 없습니다.

TEST(DayLog, FileNameAndLinePrefix) {
  clock::LocalTime t;
  t.year = 2024, t.month = 3, t.day = 7, t.hour = 9, t.minute = 5, t.second = 4;
  EXPECT_EQ(daylog::file_name("C:\\TEMP", t), "C:\\TEMP\\MMS20240307.LOG");
  EXPECT_EQ(daylog::line(t, 7, "step3\n"), "2024-03-07 09:05:04  007 step3\n");
  EXPECT_EQ(daylog::line(t, 123456, "x\n"), "2024-03-07 09:05:04  123456 x\n");
  t.year = 987;
  EXPECT_EQ(daylog::file_name("/tmp", t), "/tmp\\MMS9870307.LOG");
}

TEST(DayLog, EveryMessageTextInCp949WithItsLineNumbers) {
  const logtext::Subject who{"user01", "dept01", "01012345678", "SEQ-1"};
  const std::string id = "SENDID=[user01/dept01]";
  const std::string call = id + " CALL=[01012345678] SEQNO=[SEQ-1]";
  struct Case {
    Event event;
    int value;
    std::string send, batch;
  };
  const Case cases[] = {
      {Event::LoginNotSent, -32, "[M" + kAuthRequestFailed + "] " + id + " NRET=[-32] LINE=[491]\n", "797"},
      {Event::LoginReplyNotReceived, -44, "[M" + kAuthRequestFailed + "]  " + id + " NRET=[-44] LINE=[505]\n", "811"},
      {Event::LoginAccepted, 0, "[M" + kAuthOk + "] " + id + " LINE=[516]\n", "822"},
      {Event::LoginRefused, 'E', "[M" + kAuthFailed + "] " + id + " RESULT=[E] LINE=[524]\n", "830"},
      {Event::HeaderNotSent, -104, "[M" + kCallFailed + "] " + call + " NRET=[-104] LINE=[616]\n", "927"},
      {Event::BodyNotSent, 0, "[M" + kCallFailed + "] " + call + " NRET=[0] LINE=[646]\n", "957"},
      {Event::AttachmentFailed, -1, "[M" + kCallFailed + "] " + call + " NRET=[-1] LINE=[670]\n", "981"},
      {Event::ResultNotReceived, -44, "[M" + kCallFailed + "] " + call + " NRET=[-44] LINE=[692]\n", "1003"},
      {Event::MessageAccepted, 0, "[M" + kCallOk + "] " + call + " LINE=[709]\n", "1020"},
      {Event::MessageRefused, 0xE0, "[M" + kCallFailed + "] " + call + " RESULT=[\xE0] LINE=[722]\n", "1033"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(logtext::message(c.event, Caller::Send, who, c.value), c.send);
    std::string batch = c.send;
    batch.replace(batch.rfind('[') + 1, batch.size() - batch.rfind('[') - 3, c.batch);
    EXPECT_EQ(logtext::message(c.event, Caller::Batch, who, c.value), batch);
  }
  // A batch message without a login: SENDID empty.
  EXPECT_EQ(logtext::message(Event::MessageAccepted, Caller::Batch, {"", "", "010", "7"}, 0),
            "[M" + kCallOk + "] SENDID=[/] CALL=[010] SEQNO=[7] LINE=[1020]\n");
  EXPECT_EQ(logtext::unreachable("127.0.0.1", 7744, "localhost", 7744, Caller::Send),
            "[127.0.0.1][7744],[localhost][7744]" + kCannotConnect + "line[441]\n");
  EXPECT_EQ(logtext::unreachable("a", 1, "b", 2, Caller::Connect), "[a][1],[b][2]" + kCannotConnect + "line[1052]\n");
  EXPECT_EQ(logtext::lookup_failed("no.such.host", -2), "step2 host[no.such.host][-2]\n");
  EXPECT_EQ(logtext::connect_failed(), "step3\n");
}

TEST(DayLog, ArgumentsAreNeverTakenForFormatsAndLongLinesAreBounded) {
  // A "%s" or "%n" in a caller's text is text.
  EXPECT_EQ(logtext::message(Event::LoginAccepted, Caller::Send, {"%s%n%d", "100%", "", ""}),
            "[M" + kAuthOk + "] SENDID=[%s%n%d/100%] LINE=[516]\n");
  EXPECT_EQ(logtext::format("%d%% %c %s %s", {long{5}, 'x', std::string_view("a")}), "5% x a ");

  clock::LocalTime t;
  t.year = 2024, t.month = 1, t.day = 1;
  const std::string prefix = "2024-01-01 00:00:00  001 ";
  // A text of double-byte characters cut at the bound keeps whole characters and the line end.
  std::string huge;
  for (int i = 0; i < 3000; ++i) huge += "\xB0\xA1";
  const std::string line = daylog::line(t, 1, "[" + huge + "]\n");
  EXPECT_LE(line.size(), prefix.size() + daylog::kMaxMessageBytes);
  EXPECT_EQ(line.back(), '\n');
  const std::string kept = line.substr(prefix.size() + 1, line.size() - prefix.size() - 2);
  EXPECT_EQ(kept.size() % 2, 0u);
  EXPECT_EQ(kept, huge.substr(0, kept.size()));
  EXPECT_GT(kept.size(), daylog::kMaxMessageBytes - 4);
}

// The name of today's file, taken before and after the writes (midnight may pass between).
std::string todays_file(const testkit::TempDir& dir, const clock::LocalTime& before, const clock::LocalTime& after) {
  for (const clock::LocalTime& t : {before, after}) {
    char name[32];
    std::snprintf(name, sizeof name, "MMS%d%02d%02d.LOG", t.year, t.month, t.day);
    if (dir.exists(name)) return name;
  }
  return "";
}

TEST(DayLog, LinesAreAppendedToTodaysFileInTheConfiguredFolderAndAMissingFolderLosesThem) {
  testkit::TempDir dir;
  {
    testkit::ScopedEnv folder("PINK_MSG_LOGDIR", dir.path());
    EXPECT_EQ(daylog::folder(), dir.path());
    const clock::LocalTime before = clock::now_local();
    daylog::write("first\n");
    long other_thread = 0;
    std::thread([&] {
      other_thread = ::syscall(SYS_gettid);
      daylog::write("[M" + kAuthOk + "] second\n");
    }).join();
    const clock::LocalTime after = clock::now_local();
    const std::string file = todays_file(dir, before, after);
    ASSERT_FALSE(file.empty());
    const std::string text = dir.read(file);
    const std::size_t end = text.find('\n') + 1;
    const std::string main_id = std::to_string(::getpid());  // the main thread's id is the process id
    const std::string other_id = std::to_string(other_thread);
    ASSERT_NE(main_id, other_id);
    const std::regex stamp("\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}  ");
    EXPECT_TRUE(std::regex_match(text.substr(0, 21), stamp)) << text;
    EXPECT_EQ(text.substr(21, end - 21), main_id + " first\n");
    EXPECT_TRUE(std::regex_match(text.substr(end, 21), stamp)) << text;
    EXPECT_EQ(text.substr(end + 21), other_id + " [M" + kAuthOk + "] second\n");
  }
  {
    testkit::ScopedEnv folder("PINK_MSG_LOGDIR", dir.file("missing"));
    daylog::write("lost\n");  // no crash, nothing created
    EXPECT_FALSE(dir.exists("missing"));
  }
  testkit::ScopedEnv unset("PINK_MSG_LOGDIR", std::nullopt);
  EXPECT_EQ(daylog::folder(), "/tmp");
}

}  // namespace
}  // namespace pink::msgcall
