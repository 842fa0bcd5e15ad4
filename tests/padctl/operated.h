// A program run the way an operator runs it at a terminal: the test reads
// what it prints as it goes and types lines into its standard input when
// what it printed says the moment has come (vpad's log showing the pad's
// answer to a sign request, then "cancel"). Linux only.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace pink::testkit {

class Operated {
 public:
  Operated(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
           const std::map<std::string, std::string>& env = {}) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    std::vector<std::string> argv_s{program};
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_s) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::map<std::string, std::string> all;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string kv = *e;
      const auto eq = kv.find('=');
      if (eq != std::string::npos) all[kv.substr(0, eq)] = kv.substr(eq + 1);
    }
    for (const auto& [k, v] : env) all[k] = v;
    std::vector<std::string> env_s;
    for (const auto& [k, v] : all) env_s.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (auto& e : env_s) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in[0], 0);
      ::dup2(out[1], 1);
      ::dup2(out[1], 2);  // one stream: the order of what it printed stays
      ::setpgid(0, 0);
      if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
      ::execve(program.c_str(), argv.data(), envp.data());
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    in_ = in[1];
    out_ = out[0];
    ::fcntl(out_, F_SETFL, O_NONBLOCK);
  }
  ~Operated() {
    if (!status_) {
      ::kill(-pid_, SIGKILL);
      int s = 0;
      ::waitpid(pid_, &s, 0);
    }
    if (in_ >= 0) ::close(in_);
    ::close(out_);
  }
  Operated(const Operated&) = delete;
  Operated& operator=(const Operated&) = delete;

  // Types a line (the line end is added).
  void type(const std::string& line) {
    const std::string l = line + "\n";
    if (::write(in_, l.data(), l.size()) != static_cast<ssize_t>(l.size())) throw std::runtime_error("type");
  }
  // Waits up to `ms` for `text` to appear in what it printed.
  bool wait_for(const std::string& text, std::uint32_t ms) {
    const std::uint64_t end = clock::monotonic_ms() + ms;
    while (printed_.find(text) == std::string::npos) {
      if (clock::monotonic_ms() > end || !read(50)) return printed_.find(text) != std::string::npos;
    }
    return true;
  }
  // Waits up to `ms` until `text` has appeared `count` times.
  bool wait_for_count(const std::string& text, int count, std::uint32_t ms) {
    const std::uint64_t end = clock::monotonic_ms() + ms;
    for (;;) {
      int n = 0;
      for (std::size_t at = 0; (at = printed_.find(text, at)) != std::string::npos; at += text.size()) ++n;
      if (n >= count) return true;
      if (clock::monotonic_ms() > end || !read(50)) return false;
    }
  }
  // Waits up to `ms` for the end; its exit status, or nothing.
  std::optional<int> wait(std::uint32_t ms) {
    const std::uint64_t end = clock::monotonic_ms() + ms;
    while (!status_) {
      int s = 0;
      if (::waitpid(pid_, &s, WNOHANG) == pid_) {
        status_ = WIFEXITED(s) ? WEXITSTATUS(s) : 128 + WTERMSIG(s);
        break;
      }
      if (clock::monotonic_ms() > end) return std::nullopt;
      read(20);
    }
    while (read(0)) {
    }
    return status_;
  }
  const std::string& printed() const noexcept { return printed_; }

 private:
  // Reads what is there (waiting up to `ms`); false once the output ended.
  bool read(int ms) {
    pollfd p{out_, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return !status_;
    char buf[4096];
    const ssize_t n = ::read(out_, buf, sizeof buf);
    if (n > 0) printed_.append(buf, static_cast<std::size_t>(n));
    return n > 0 || (n < 0 && errno == EAGAIN);
  }

  int pid_ = -1;
  int in_ = -1, out_ = -1;
  std::string printed_;
  std::optional<int> status_;
};

}  // namespace pink::testkit
