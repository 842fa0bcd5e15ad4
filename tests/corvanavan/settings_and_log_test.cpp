// StartDLL's settings file and the day trace log, both in the current folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "payment/corvanavan/api.h"
#include "payment/corvanavan/startup.h"
#include "payment/corvanavan/tracelog.h"
#include "tests/corvanavan/fake_transport.h"
#include "tools/testkit/testkit.h"

namespace pink::corvanavan::testing {
namespace {

// Runs the test inside a fresh folder of its own.
class InTempFolder {
 public:
  InTempFolder() : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir_.path());
  }
  ~InTempFolder() { std::filesystem::current_path(old_); }
  const testkit::TempDir& dir() const { return dir_; }

 private:
  testkit::TempDir dir_;
  std::filesystem::path old_;
};

TEST(CorvanaVanStartDll, CreatesPortOneWhenThereIsNoSettingsFile) {
  InTempFolder here;
  EXPECT_EQ(api::start_dll(), 1);
  EXPECT_EQ(here.dir().read("corvana.ini"), "[COMM_PORT]\r\nPORT=1\r\n");
  EXPECT_EQ(api::stop_dll(), 1);
  // Start and stop may come any number of times.
  EXPECT_EQ(api::start_dll(), 1);
  EXPECT_EQ(api::start_dll(), 1);
  EXPECT_EQ(api::stop_dll(), 1);
  EXPECT_EQ(api::stop_dll(), 1);
}

TEST(CorvanaVanStartDll, ReturnsTheStoredPortAndWritesNothing) {
  InTempFolder here;
  const std::string file = "; terminal settings\r\n[comm_port]\r\nport = 5\r\n";
  here.dir().write("corvana.ini", file);
  EXPECT_EQ(api::start_dll(), 5);
  EXPECT_EQ(here.dir().read("corvana.ini"), file);
  api::stop_dll();
}

TEST(CorvanaVanStartDll, ReadsThreeCharactersAndReplacesZero) {
  InTempFolder here;
  here.dir().write("corvana.ini", "[COMM_PORT]\r\nPORT=12345\r\n");
  EXPECT_EQ(api::start_dll(), 123);

  for (const char* zero : {"0", "abc", ""}) {
    SCOPED_TRACE(zero);
    here.dir().write("corvana.ini", std::string("[COMM_PORT]\r\nPORT=") + zero + "\r\n");
    EXPECT_EQ(api::start_dll(), 1);
    EXPECT_EQ(here.dir().read("corvana.ini"), "[COMM_PORT]\r\nPORT=1\r\n");
  }
  api::stop_dll();
}

TEST(CorvanaVanPortSetting, FirstThreeCharactersAsADecimalNumber) {
  EXPECT_EQ(port_setting_value("7"), 7);
  EXPECT_EQ(port_setting_value("9999"), 999);
  EXPECT_EQ(port_setting_value("12x"), 12);
  EXPECT_EQ(port_setting_value("-42"), -42);
  EXPECT_EQ(port_setting_value("x12"), 0);
}

TEST(CorvanaVanTraceLog, DayFileNameAndLineFormat) {
  const clock::LocalTime t{2024, 1, 5, 9, 3, 7, 512};
  EXPECT_EQ(trace::file_name(t), ".\\CRV20240105.log");
  EXPECT_EQ(trace::line(t, "#1 CON IP[1.2.3.4] PORT[7]"),
            "2024/01/05 09:03:07   #1 CON IP[1.2.3.4] PORT[7]\r\n");
}

TEST(CorvanaVanTraceLog, FileCreatedAtTheFirstLineAndAppendedAfter) {
  InTempFolder here;
  const clock::LocalTime day1{2023, 12, 31, 23, 59, 58, 0};
  const clock::LocalTime day2{2024, 1, 1, 0, 0, 1, 0};
  EXPECT_FALSE(here.dir().exists("CRV20231231.log"));
  EXPECT_EQ(trace::write_at(day1, "first"), 0);
  EXPECT_EQ(trace::write_at(day1, "second"), 0);
  EXPECT_EQ(trace::write_at(day2, "next day"), 0);
  EXPECT_EQ(here.dir().read("CRV20231231.log"),
            "2023/12/31 23:59:58   first\r\n2023/12/31 23:59:58   second\r\n");
  EXPECT_EQ(here.dir().read("CRV20240101.log"), "2024/01/01 00:00:01   next day\r\n");

  // A file that cannot be opened drops the line.
  here.dir().mkdir("CRV20240102.log");
  EXPECT_EQ(trace::write_at({2024, 1, 2, 0, 0, 0, 0}, "dropped"), -1);
}

TEST(CorvanaVanTraceLog, FormattingIsBounded) {
  const std::string big(5000, 'Q');
  const std::string m = trace::format("#1 SND [%d][%s]", 5000, big.c_str());
  EXPECT_EQ(m.size(), trace::kMessageBufferSize - 1);
  EXPECT_EQ(m.substr(0, 14), "#1 SND [5000][");
  EXPECT_EQ(trace::line({2024, 1, 5, 9, 3, 7, 0}, big).size(), 22 + 4095 + 2);
}

// The user exchange with its log flag set writes every step to the day log.
class CorvanaVanUserLog : public LinkTest {
 protected:
  // The messages of the day log (the stamp checked and taken off).
  std::vector<std::string> messages() {
    std::vector<std::string> out;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(here.dir().path())) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(std::regex_match(name, std::regex(R"(CRV20\d{6}\.log)"))) << name;
      ++files;
      const std::string text = here.dir().read(name);
      static const std::regex line(R"((\d{4}/\d\d/\d\d \d\d:\d\d:\d\d   )([^\n]*)\r\n)");
      std::string rest = text;
      std::smatch m;
      while (std::regex_search(rest, m, line, std::regex_constants::match_continuous)) {
        out.push_back(m[2]);
        rest = m.suffix();
      }
      EXPECT_EQ(rest, "") << "lines not in the log's format";
    }
    EXPECT_EQ(files, 1);
    return out;
  }
  char* run(const char* request = "HDREQUEST-0001", const char* length = "14") {
    return api::ssl_user_conn_rcv_snd("10.1.2.3", "7001", request, length, "45", 1);
  }
  InTempFolder here;
};

TEST_F(CorvanaVanUserLog, SuccessfulExchange) {
  net.script = {arrives("\x05"), arrives("0123456789RESPONSE-A"), arrives("\x04")};
  char* block = run();
  ASSERT_NE(block, nullptr);
  api::free_block(block);
  EXPECT_EQ(messages(), (std::vector<std::string>{
                            "#1 CON IP[10.1.2.3] PORT[7001]",
                            "#1 SND [14][HDREQUEST-0001]",
                            "#4 RCV [1][5])",
                            "#4 RCV [20][0123456789RESPONSE-A]",
                            "#4 RCV [1][4])",
                        }));
}

TEST_F(CorvanaVanUserLog, FailureLines) {
  const std::string head1 = "#1 CON IP[10.1.2.3] PORT[7001]";
  const std::string head2 = "#1 SND [14][HDREQUEST-0001]";
  struct Case {
    const char* what;
    int connect, startup;
    std::deque<NetEvent> script;
    std::deque<int> send_results;
    std::vector<std::string> tail;
  };
  const std::vector<Case> cases = {
      {"connect", -3, FakeTransport::kSsl, {}, {},
       {"#2 SOCK_CONNECT() error IP(10.1.2.3) PORT(7001) nRet[-3]"}},
      {"ssl", FakeTransport::kSock, 0, {}, {}, {"#3 SSL_STARTUP() error"}},
      {"request send", FakeTransport::kSock, FakeTransport::kSsl, {arrives("\x05")}, {-9},
       {"#4 RCV [1][5])", "#5 \xbf\xe4\xc3\xbb\xc0\xfc\xb9\xae \xbc\xdb\xbd\xc5 \xbd\xc7\xc6\xd0 (-9)"}},
      {"nak", FakeTransport::kSock, FakeTransport::kSsl, {arrives("\x15")}, {},
       {"#4 RCV [1][15])", "#6 NAK \xbc\xf6\xbd\xc5 nRet(1)"}},
      {"ack send", FakeTransport::kSock, FakeTransport::kSsl,
       {arrives("\x05"), arrives("0123456789A")}, {14, -2},
       {"#4 RCV [1][5])", "#4 RCV [11][0123456789A]",
        "#7 ACK \xbc\xdb\xbd\xc5 \xbd\xc7\xc6\xd0 nRet(-2)"}},
      {"receive", FakeTransport::kSock, FakeTransport::kSsl, {receive_fails(-1)}, {},
       {"#8 SSL_RecvData() error nRet(-1)"}},
      {"time-out", FakeTransport::kSock, FakeTransport::kSsl, {wait_expires(0)}, {},
       {"#9 TIME-OUT nRet(0) nTimeOut(45)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    net = FakeTransport{};
    net.connect_result = c.connect;
    net.startup_result = c.startup;
    net.script = c.script;
    net.send_results = c.send_results;
    for (const auto& entry : std::filesystem::directory_iterator(here.dir().path())) {
      std::filesystem::remove(entry.path());
    }
    EXPECT_EQ(run(), nullptr);
    std::vector<std::string> expected = {head1, head2};
    expected.insert(expected.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(messages(), expected);
  }
}

TEST_F(CorvanaVanUserLog, LongRequestIsCutInTheLog) {
  const std::string big(6000, 'Q');
  net.script = {arrives("\x05"), arrives("0123456789A"), arrives("\x04")};
  char* block = run(big.c_str(), "6000");
  ASSERT_NE(block, nullptr);
  EXPECT_STREQ(block, "0123456789A");
  api::free_block(block);
  EXPECT_EQ(net.sent.front(), big);  // the request itself goes out whole
  const auto m = messages();
  ASSERT_GE(m.size(), 2u);
  EXPECT_EQ(m[1].size(), trace::kMessageBufferSize - 1);
  EXPECT_EQ(m[1].substr(0, 14), "#1 SND [6000][");
}

TEST_F(CorvanaVanUserLog, NoLogWithoutTheFlag) {
  net.script = {arrives("\x05"), arrives("0123456789A"), arrives("\x04")};
  char* block = api::ssl_user_conn_rcv_snd("10.1.2.3", "7001", "HDREQUEST-0001", "14", "45", 0);
  api::free_block(block);
  EXPECT_TRUE(std::filesystem::is_empty(here.dir().path()));
}

}  // namespace
}  // namespace pink::corvanavan::testing
