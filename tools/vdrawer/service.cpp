#include "tools/vdrawer/service.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace pink::drawer_server {
namespace {

volatile std::sig_atomic_t g_stop = 0;

void note_stop(int sig) { g_stop = sig; }

// No SA_RESTART: a stop signal cuts the poll of the loop short.
void catch_stop_signals() {
  struct sigaction sa {};
  sa.sa_handler = note_stop;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
  // A client that vanishes mid-reply is an error result, not a signal.
  std::signal(SIGPIPE, SIG_IGN);
}

double monotonic_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// The longest single wait of the loop, so that a stop signal arriving just
// before a wait is seen soon.
constexpr double kMaxRoundMs = 100.0;

}  // namespace

Service::Service() : start_ms_(monotonic_ms()) {}

Service::~Service() {
  if (file_ != nullptr) std::fclose(file_);
}

bool Service::open_log(const LogOptions& options, std::string& error) {
  quiet_ = options.quiet;
  if (options.file.empty()) return true;
  file_ = std::fopen(options.file.c_str(), "a");
  if (file_ == nullptr) {
    error = options.file + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

double Service::now_ms() const { return monotonic_ms() - start_ms_; }

void Service::log(const std::string& line) {
  if (!quiet_) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
  }
  if (file_ != nullptr) {
    std::fputs((line + "\n").c_str(), file_);
    std::fflush(file_);
  }
}

void Service::read_commands(const Hooks& hooks) {
  char buf[512];
  const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
  if (n < 0 && errno == EINTR) return;
  if (n <= 0) {
    stdin_open_ = false;  // at its end (or unreadable): stop watching it
    return;
  }
  stdin_pending_.append(buf, static_cast<std::size_t>(n));
  std::size_t eol;
  while ((eol = stdin_pending_.find('\n')) != std::string::npos) {
    std::string line = stdin_pending_.substr(0, eol);
    stdin_pending_.erase(0, eol + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (hooks.command) hooks.command(line);
  }
  if (stdin_pending_.size() > 4096) stdin_pending_.clear();  // no line is that long
}

int Service::run(SocketServer& server, const Handler& handler, const Hooks& hooks) {
  catch_stop_signals();
  while (g_stop == 0) {
    double wait = kMaxRoundMs;
    if (hooks.deadline) {
      if (const auto at = hooks.deadline()) wait = std::clamp(*at - now_ms(), 0.0, kMaxRoundMs);
    }
    const int timeout = static_cast<int>(std::ceil(wait));
    if (server.serve(timeout, handler, stdin_open_ ? STDIN_FILENO : -1)) read_commands(hooks);
    if (hooks.tick) hooks.tick();
  }
  return static_cast<int>(g_stop);
}

}  // namespace pink::drawer_server
