// The simulated provider (the msgsim program on a port the system picks)
// and the day log of a test, for the tests that send for real.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "msgcall/msgcall.h"
#include "platform/socket.h"
#include "tools/testkit/testkit.h"

namespace pink::msgcall::testing {

// A port nobody listens on (taken from the system, then given back).
inline std::uint16_t closed_port() {
  auto l = net::listen("127.0.0.1", 0);
  return l ? l->port() : 1;
}

class Provider {
 public:
  // `existing`: folders already in the store when the simulator starts.
  explicit Provider(std::vector<std::string> script = {}, const std::vector<std::string>& existing = {}) {
    for (const std::string& folder : existing) store_.mkdir(folder);
    std::vector<std::string> args{"--port", "0", "--store", store_.path()};
    args.insert(args.end(), script.begin(), script.end());
    sim_ = std::make_unique<testkit::Process>(testkit::program("msgsim"), args);
    const bool up = testkit::wait_until([&] { return sim_->out().find('\n') != std::string::npos; }, 20000);
    EXPECT_TRUE(up) << sim_->err();
    const std::string first = sim_->out().substr(0, sim_->out().find('\n'));
    EXPECT_EQ(first.rfind("listening on 127.0.0.1:", 0), 0u) << first;
    port_ = static_cast<std::uint16_t>(std::stoi(first.substr(first.rfind(':') + 1)));
  }
  std::uint16_t port() const { return port_; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  // What msgsim printed so far; waits (generously) for `until` to appear first.
  std::string log(const std::string& until = "") {
    if (!until.empty()) testkit::wait_until([&] { return sim_->out().find(until) != std::string::npos; }, 20000);
    return sim_->out();
  }
  // A file of the n-th stored message ("000001/header.bin").
  std::string stored(int n, const std::string& name) const {
    char folder[16];
    std::snprintf(folder, sizeof folder, "%06d", n);
    const std::string path = std::string(folder) + "/" + name;
    return store_.exists(path) ? store_.read(path) : "<missing " + path + ">";
  }
  bool has_stored(int n) const {
    char folder[16];
    std::snprintf(folder, sizeof folder, "%06d", n);
    return store_.exists(folder);
  }
  const testkit::TempDir& store() const { return store_; }
  // The environment that points a program's message client at this
  // simulator, with its day log in `log_dir`.
  std::map<std::string, std::string> env(const std::string& log_dir) const {
    return {{"PINK_MSG_PRIMARY", address()}, {"PINK_MSG_SECONDARY", address()}, {"PINK_MSG_LOGDIR", log_dir}};
  }

 private:
  testkit::TempDir store_;
  std::unique_ptr<testkit::Process> sim_;
  std::uint16_t port_ = 0;
};

// The day log folder of a test and the servers the library is pointed at.
class Terminal {
 public:
  Terminal(const std::string& primary, const std::string& secondary)
      : log_env_("PINK_MSG_LOGDIR", logs_.path()), primary_("PINK_MSG_PRIMARY", primary),
        secondary_("PINK_MSG_SECONDARY", secondary) {}
  // Served by `p`; the secondary is a port where nobody listens.
  explicit Terminal(const Provider& p) : Terminal(p.address(), "127.0.0.1:" + std::to_string(closed_port())) {}

  // Every line of the day log so far.
  std::string log() const {
    std::string all;
    for (const auto& f : std::filesystem::directory_iterator(logs_.path())) all += logs_.read(f.path().filename());
    return all;
  }
  const testkit::TempDir& files() const { return files_; }

 private:
  testkit::TempDir logs_, files_;
  testkit::ScopedEnv log_env_, primary_, secondary_;
};

inline Message message(const std::string& seq = "20240131-0001") {
  Message m;
  m.seq_no = seq;
  m.type = "MMS";
  m.user_code = "user01";
  m.dept_code = "dept01";
  m.call_phone = "01012345678";
  m.req_phone = "0212345678";
  m.subject = "\xC1\xA6\xB8\xF1";       // 제목
  m.call_message = "\xBA\xBB\xB9\xAE";  // 본문
  m.rdatetime = "2024013112000000";
  return m;
}

inline std::string z(std::size_t n) { return std::string(n, '\0'); }

// cp949 of the log's Korean texts, written out by hand.
inline const std::string kAuthOk = "[M\xC0\xCE\xC1\xF5\xBC\xBA\xB0\xF8]";                                // [M인증성공]
inline const std::string kAuthRequestFailed = "[M\xC0\xCE\xC1\xF5\xBF\xE4\xC3\xBB\xBD\xC7\xC6\xD0]";   // [M인증요청실패]
inline const std::string kAuthFailed = "[M\xC0\xCE\xC1\xF5\xBD\xC7\xC6\xD0]";                          // [M인증실패]
inline const std::string kCallFailed = "[M\xC8\xA3\xC3\xE2\xBF\xE4\xC3\xBB\xBD\xC7\xC6\xD0]";        // [M호출요청실패]
inline const std::string kCallOk = "[M\xC8\xA3\xC3\xE2\xBF\xE4\xC3\xBB\xBC\xBA\xB0\xF8]";            // [M호출요청성공]
inline const std::string kCannotConnect =
    "\xBF\xA1\x20\xBF\xAC\xB0\xE1\xC7\xD2\xBC\xF6\x20\xBE\xF8\xBD\xC0\xB4\xCF\xB4\xD9.";  // 에 연결할수 없습니다.

inline std::size_t count_of(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace pink::msgcall::testing
