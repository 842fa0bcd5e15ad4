// vscanner: a barcode scanner on a virtual serial port. It sends codes, each
// with the scanner's ending (CR or CR LF) and a pause before it, to the
// program that has the port open; see usage() or README.md.
//
// It waits until the program has opened the port before sending: a driver
// purges the port's input while it opens, so earlier codes would be lost.
// Opened means the line settings changed from what the fresh port had (a
// serial driver sets its rate and line at open); --no-wait skips the wait.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "cli/help.h"
#include "tools/testkit/capture.h"
#include "tools/testkit/vport.h"
#include "tools/vscanner/options.h"

namespace {

using pink::vscanner::Options;

// The program under test; its standard input is /dev/null when vscanner
// reads the codes from its own.
class Child {
 public:
  Child(const std::vector<std::string>& command, bool detach_stdin) {
    std::vector<char*> argv;
    std::vector<std::string> copy = command;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid_ == 0) {
      if (detach_stdin) {
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) ::dup2(null, 0);
      }
      ::execvp(argv[0], argv.data());
      ::_exit(127);
    }
  }
  ~Child() {
    if (running()) {
      ::kill(pid_, SIGKILL);
      wait();
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool running() {
    if (status_) return false;
    int st = 0;
    if (::waitpid(pid_, &st, WNOHANG) != pid_) return true;
    status_ = decode(st);
    return false;
  }
  int wait() {
    while (!status_) {
      int st = 0;
      const int w = ::waitpid(pid_, &st, 0);
      if (w == pid_) status_ = decode(st);
      if (w < 0 && errno != EINTR) status_ = 1;
    }
    return *status_;
  }
  void kill() {
    if (running()) ::kill(pid_, SIGTERM);
  }

 private:
  static int decode(int st) {
    if (WIFEXITED(st)) return WEXITSTATUS(st);
    if (WIFSIGNALED(st)) return 128 + WTERMSIG(st);
    return 1;
  }
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// Where the codes come from: the command line, or standard input line by line.
class Codes {
 public:
  explicit Codes(const Options& o) : from_stdin_(o.codes.empty()), list_(o.codes) {}

  // The next code if one is ready within wait_ms; `done()` tells when there
  // will be none.
  std::optional<std::string> next(int wait_ms) {
    if (!from_stdin_) {
      if (at_ < list_.size()) return list_[at_++];
      return std::nullopt;
    }
    if (auto line = take_line()) return line;
    if (eof_) return flush_last();
    pollfd p{0, POLLIN, 0};
    if (::poll(&p, 1, wait_ms) <= 0) return std::nullopt;
    char buf[512];
    const ssize_t n = ::read(0, buf, sizeof buf);
    if (n > 0) pending_.append(buf, static_cast<std::size_t>(n));
    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) eof_ = true;
    return take_line();
  }
  bool done() const { return from_stdin_ ? eof_ && pending_.empty() : at_ >= list_.size(); }
  bool from_stdin() const { return from_stdin_; }

 private:
  std::optional<std::string> take_line() {
    const auto nl = pending_.find('\n');
    if (nl == std::string::npos) return std::nullopt;
    std::string line = pink::vscanner::line_code(pending_.substr(0, nl + 1));
    pending_.erase(0, nl + 1);
    return line;
  }
  // A last line without its line end.
  std::optional<std::string> flush_last() {
    if (pending_.empty()) return std::nullopt;
    std::string line = pink::vscanner::line_code(pending_);
    pending_.clear();
    return line;
  }

  bool from_stdin_;
  std::vector<std::string> list_;
  std::size_t at_ = 0;
  std::string pending_;
  bool eof_ = false;
};

bool same_line(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
         ::cfgetispeed(&a) == ::cfgetispeed(&b) && ::cfgetospeed(&a) == ::cfgetospeed(&b);
}

// Sleeps ms, waking early for a stop signal; false when one came.
bool pause_ms(std::uint32_t ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    if (pink::testkit::stop_signal() != 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<std::uint32_t>(ms, 10)));
  }
  return pink::testkit::stop_signal() == 0;
}

void send_code(pink::testkit::VirtualPort& port, const Options& o, const std::string& code) {
  if (!pause_ms(o.gap_ms)) return;
  port.write(pink::vscanner::frame(code, o.ending));
  std::cerr << "vscanner: sent \"" << code << "\" to " << port.name() << std::endl;
}

// The loop: wait for the open, then send the codes as they come; returns when
// stopped, when the program ended, or (with --listen never) when all is sent
// and the program ended.
void serve(pink::testkit::VirtualPort& port, const termios& fresh, const Options& o,
           Child* child) {
  bool opened = !o.wait_open;
  Codes codes(o);
  while (pink::testkit::stop_signal() == 0) {
    if (child && !child->running()) return;
    port.read_available(0);  // what the program sends the scanner is dropped
    if (!opened) {
      opened = !same_line(port.slave_termios(), fresh);
      if (!opened) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    if (codes.done()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    if (auto code = codes.next(20)) send_code(port, o, *code);
  }
}

int run(const Options& o) {
  pink::testkit::VirtualPort port(o.com);
  const termios fresh = port.slave_termios();  // before anyone else can open the port
  pink::testkit::catch_stop_signals();
  if (o.listen) {
    std::cout << port.slave_path() << std::endl;
    serve(port, fresh, o, nullptr);
    return 0;
  }
  Child child(o.command, o.codes.empty());
  serve(port, fresh, o, &child);
  if (pink::testkit::stop_signal() != 0 && child.running()) {
    child.kill();
    child.wait();
    return 128 + pink::testkit::stop_signal();
  }
  return child.wait();
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (const auto status = pink::cli::respond(args, "vscanner", pink::vscanner::usage())) return *status;
  const auto parsed = pink::vscanner::parse(args);
  if (!parsed.options) {
    std::cerr << "vscanner: " << parsed.error << "\n" << pink::vscanner::usage();
    return 2;
  }
  if (parsed.options->help) {
    std::cout << pink::vscanner::usage();
    return 0;
  }
  try {
    return run(*parsed.options);
  } catch (const std::exception& e) {
    std::cerr << "vscanner: " << e.what() << "\n";
    return 1;
  }
}
