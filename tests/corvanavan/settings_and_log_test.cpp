// StartDLL's settings file and the day trace log, both in the current folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "payment/corvanavan/api.h"
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

TEST(CorvanaVanStartDll, PortSettingOfTheIniFile) {
  InTempFolder here;
  const std::string port1 = "[COMM_PORT]\r\nPORT=1\r\n";
  const std::string port5 = "; terminal settings\r\n[comm_port]\r\nport = 5\r\n";
  struct Case {
    std::optional<std::string> file;
    int result;
    std::string after;
  };
  const Case cases[] = {
      {std::nullopt, 1, port1},  // no file: created with PORT=1
      {port5, 5, port5},         // a stored port, nothing written
      {"[COMM_PORT]\r\nPORT=12345\r\n", 123, "[COMM_PORT]\r\nPORT=12345\r\n"},  // three characters
      {"[COMM_PORT]\r\nPORT=0\r\n", 1, port1},
      {"[COMM_PORT]\r\nPORT=abc\r\n", 1, port1},
      {"[COMM_PORT]\r\nPORT=\r\n", 1, port1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file.value_or("(no file)"));
    std::filesystem::remove(here.dir().file("corvana.ini"));
    if (c.file) here.dir().write("corvana.ini", *c.file);
    EXPECT_EQ(api::start_dll(), c.result);
    EXPECT_EQ(here.dir().read("corvana.ini"), c.after);
    // Start and stop may come any number of times.
    EXPECT_EQ(api::start_dll(), c.result);
    EXPECT_EQ(api::stop_dll(), 1);
    EXPECT_EQ(api::stop_dll(), 1);
  }
}

TEST(CorvanaVanTraceLog, DayFileCreatedAtTheFirstLineAndAppendedAfter) {
  InTempFolder here;
  const clock::LocalTime day1{2023, 12, 31, 23, 59, 58, 0};
  const clock::LocalTime day2{2024, 1, 1, 0, 0, 1, 0};
  EXPECT_EQ(trace::file_name(day1), ".\\CRV20231231.log");
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

// The user exchange with its log flag set writes every step to the day log.
class CorvanaVanUserLog : public LinkTest {
 protected:
  // The messages of the day's log file, each line's stamp and CR LF taken off
  // (the line format itself is checked above).
  std::vector<std::string> messages() {
    std::vector<std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(here.dir().path())) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(std::regex_match(name, std::regex(R"(CRV20\d{6}\.log)"))) << name;
      std::istringstream in(here.dir().read(name));
      for (std::string line; std::getline(in, line);) out.push_back(line.substr(22, line.size() - 23));
    }
    return out;
  }
  char* run(const char* request = "HDREQUEST-0001", const char* length = "14") {
    return api::ssl_user_conn_rcv_snd("10.1.2.3", "7001", request, length, "45", 1);
  }
  InTempFolder here;
};

TEST_F(CorvanaVanUserLog, TraceLinesOfEveryOutcome) {
  const int sock = FakeTransport::kSock, ssl = FakeTransport::kSsl;
  struct Case {
    const char* what;
    int connect, startup;
    std::deque<NetEvent> script;
    std::deque<int> send_results;
    std::vector<std::string> tail;  // after the two "#1" lines
    const char* result = nullptr;
  };
  // Each response gets a block of its own; the one it replaces is released
  // (the leak check of the sanitizer build sees any that is not), and so is
  // the last one when a failure follows it.
  const std::vector<Case> cases = {
      {"two responses", sock, ssl,
       {arrives("\x05"), arrives("0123456789RESPONSE-A"), arrives("NEXT-ANSWER"), arrives("\x04")}, {},
       {"#4 RCV [1][5])", "#4 RCV [20][0123456789RESPONSE-A]", "#4 RCV [11][NEXT-ANSWER]", "#4 RCV [1][4])"},
       "NEXT-ANSWER"},
      {"connect", -3, ssl, {}, {}, {"#2 SOCK_CONNECT() error IP(10.1.2.3) PORT(7001) nRet[-3]"}},
      {"ssl", sock, 0, {}, {}, {"#3 SSL_STARTUP() error"}},
      {"request send", sock, ssl, {arrives("\x05")}, {-9},
       {"#4 RCV [1][5])", "#5 \xbf\xe4\xc3\xbb\xc0\xfc\xb9\xae \xbc\xdb\xbd\xc5 \xbd\xc7\xc6\xd0 (-9)"}},
      {"nak", sock, ssl, {arrives("\x15")}, {}, {"#4 RCV [1][15])", "#6 NAK \xbc\xf6\xbd\xc5 nRet(1)"}},
      {"ack send", sock, ssl, {arrives("\x05"), arrives("0123456789A")}, {14, -2},
       {"#4 RCV [1][5])", "#4 RCV [11][0123456789A]", "#7 ACK \xbc\xdb\xbd\xc5 \xbd\xc7\xc6\xd0 nRet(-2)"}},
      {"receive", sock, ssl, {receive_fails(-1)}, {}, {"#8 SSL_RecvData() error nRet(-1)"}},
      {"time-out after a response", sock, ssl, {arrives("\x05"), arrives("0123456789A"), wait_expires(0)}, {},
       {"#4 RCV [1][5])", "#4 RCV [11][0123456789A]", "#9 TIME-OUT nRet(0) nTimeOut(45)"}},
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
    char* block = run();
    if (c.result) {
      EXPECT_STREQ(block, c.result);  // ends with a zero byte
      EXPECT_EQ(net.sent.back(), "\x06");
    } else {
      EXPECT_EQ(block, nullptr);
    }
    api::free_block(block);
    std::vector<std::string> expected = {"#1 CON IP[10.1.2.3] PORT[7001]", "#1 SND [14][HDREQUEST-0001]"};
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
