// Running the drawer servers as programs in tests: start one on a fresh
// folder, wait until it serves, and read its log lines back.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "tools/testkit/testkit.h"

namespace pink::testing {

// A request line of the servers' log.
struct LoggedRequest {
  double t_ms = 0;
  std::uint32_t code = 0;
  std::string role;
  std::string input;  // hex
  unsigned output_size = 0;
  bool accepted = false;
  std::string rest;   // "status=0x01", "why=..."
};

std::vector<LoggedRequest> logged_requests(const std::string& log);
// The time of the first line whose text (after the time) starts with `what`.
std::optional<double> logged_time(const std::string& log, const std::string& what);

// A server program started with PINK_DRAWERDIR pointing at `dir` (also set
// for this process for the scope, so the libraries find it), waited for
// until its "ready" line.
class Server {
 public:
  Server(const std::string& program, const std::vector<std::string>& args, const std::string& dir);
  testkit::Process& process() { return *process_; }
  bool ready() const noexcept { return ready_; }
  std::string out() { return process_->out(); }

 private:
  testkit::ScopedEnv env_;
  std::unique_ptr<testkit::Process> process_;
  bool ready_ = false;
};

// Runs a program under /bin/sh with its standard input read from the FIFO
// `fifo` (made here), so that the test can write commands to it later.
std::vector<std::string> with_stdin_from(const std::string& fifo, const std::string& program,
                                         const std::vector<std::string>& args);

}  // namespace pink::testing
