// The run loop the drawer servers share: serving the device socket, the
// log (standard output and/or a file, one line each, flushed at once),
// commands read line by line from standard input, and SIGINT or SIGTERM
// ending the loop cleanly. Linux only.
#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "tools/vdrawer/server.h"

namespace pink::drawer_server {

struct LogOptions {
  std::string file;    // appended to; "" for none
  bool quiet = false;  // nothing on standard output
};

class Service {
 public:
  Service();
  ~Service();
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  // Opens the log file, if any; false with the reason in `error`.
  bool open_log(const LogOptions& options, std::string& error);
  // Milliseconds since the service was made.
  double now_ms() const;
  void log(const std::string& line);

  struct Hooks {
    std::function<void(const std::string& line)> command;  // a line of standard input
    std::function<void()> tick;                            // after every round
    std::function<std::optional<double>()> deadline;       // next time (now_ms) to wake for
  };
  // Serves until SIGINT or SIGTERM; returns the signal that ended it.
  int run(SocketServer& server, const Handler& handler, const Hooks& hooks);

 private:
  void read_commands(const Hooks& hooks);

  double start_ms_;
  std::FILE* file_ = nullptr;
  bool quiet_ = false;
  bool stdin_open_ = true;
  std::string stdin_pending_;
};

}  // namespace pink::drawer_server
