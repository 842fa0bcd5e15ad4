#include "tools/testkit/testkit.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace pink::testkit {
namespace fs = std::filesystem;

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/pink-test-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (::mkdtemp(buf.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void TempDir::write(const std::string& name, const std::string& bytes) const {
  fs::path p = fs::path(path_) / name;
  fs::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + p.string());
}

std::string TempDir::read(const std::string& name) const {
  std::ifstream f(fs::path(path_) / name, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool TempDir::exists(const std::string& name) const { return fs::exists(fs::path(path_) / name); }

void TempDir::mkdir(const std::string& name) const { fs::create_directories(fs::path(path_) / name); }

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
  if (const char* old = std::getenv(name_.c_str())) old_ = old;
  if (value) {
    ::setenv(name_.c_str(), value->c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

ScopedEnv::~ScopedEnv() {
  if (old_) {
    ::setenv(name_.c_str(), old_->c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

TempStore::TempStore() : db_(dir_.file("settings.db")), env_("PINK_SETTINGS", db_) {}

namespace {

struct Spawned {
  int pid = -1;
  int in_fd = -1, out_fd = -1, err_fd = -1;
};

Spawned spawn(const std::string& program, const std::vector<std::string>& args,
              const RunOptions& options) {
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (::pipe2(in_pipe, O_CLOEXEC) != 0 || ::pipe2(out_pipe, O_CLOEXEC) != 0 ||
      ::pipe2(err_pipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  std::vector<std::string> argv_s{program};
  argv_s.insert(argv_s.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_s) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string kv = *e;
    auto eq = kv.find('=');
    if (eq != std::string::npos) env[kv.substr(0, eq)] = kv.substr(eq + 1);
  }
  for (const auto& [k, v] : options.env) env[k] = v;
  std::vector<std::string> env_s;
  for (const auto& [k, v] : env) env_s.push_back(k + "=" + v);
  std::vector<char*> envp;
  for (auto& e : env_s) envp.push_back(e.data());
  envp.push_back(nullptr);

  int pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::dup2(in_pipe[0], 0);
    ::dup2(out_pipe[1], 1);
    ::dup2(err_pipe[1], 2);
    ::setpgid(0, 0);
    if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) _exit(126);
    ::execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  ::close(in_pipe[0]);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  Spawned s{pid, in_pipe[1], out_pipe[0], err_pipe[0]};
  if (!options.input.empty()) {
    // Small inputs only: the pipe buffer takes them without blocking.
    [[maybe_unused]] auto n = ::write(s.in_fd, options.input.data(), options.input.size());
  }
  ::close(s.in_fd);
  s.in_fd = -1;
  return s;
}

int decode_status(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Reads what is available on the two pipes within timeout_ms; closes a pipe
// at its end (fd set to -1). A readable `wake_fd` (the child's pidfd: it has
// ended) also ends the wait, so that the caller reaps it at once.
void pump(int& out_fd, int& err_fd, std::string& out, std::string& err, int timeout_ms,
          int wake_fd = -1) {
  pollfd fds[3];
  int n = 0;
  if (out_fd >= 0) fds[n++] = {out_fd, POLLIN, 0};
  if (err_fd >= 0) fds[n++] = {err_fd, POLLIN, 0};
  const int pipes = n;
  if (wake_fd >= 0) fds[n++] = {wake_fd, POLLIN, 0};
  if (n == 0) {
    if (timeout_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(timeout_ms));
    return;
  }
  if (::poll(fds, static_cast<nfds_t>(n), timeout_ms) <= 0) return;
  for (int i = 0; i < pipes; ++i) {
    if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    char buf[4096];
    ssize_t got = ::read(fds[i].fd, buf, sizeof buf);
    bool is_out = fds[i].fd == out_fd;
    if (got > 0) {
      (is_out ? out : err).append(buf, static_cast<std::size_t>(got));
    } else {
      ::close(fds[i].fd);
      (is_out ? out_fd : err_fd) = -1;
    }
  }
}

// A descriptor that becomes readable when the process ends; -1 where the
// kernel has none (the callers then look again every few milliseconds).
int open_pidfd(int pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

std::uint64_t now_ms() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

}  // namespace

RunResult run(const std::string& program, const std::vector<std::string>& args,
              const RunOptions& options) {
  Spawned s = spawn(program, args, options);
  const int pidfd = open_pidfd(s.pid);
  RunResult r;
  const std::uint64_t deadline = now_ms() + options.timeout_ms;
  int status = 0;
  bool done = false;
  while (!done) {
    pump(s.out_fd, s.err_fd, r.out, r.err, 10, pidfd);
    int w = ::waitpid(s.pid, &status, WNOHANG);
    if (w == s.pid) {
      done = true;
    } else if (now_ms() > deadline) {
      ::kill(-s.pid, SIGKILL);
      ::kill(s.pid, SIGKILL);
      ::waitpid(s.pid, &status, 0);
      r.timed_out = true;
      done = true;
    }
  }
  // Collect what is still in the pipes (children of the program may keep them
  // open; do not wait for those for long).
  for (int i = 0; i < 50 && (s.out_fd >= 0 || s.err_fd >= 0); ++i) pump(s.out_fd, s.err_fd, r.out, r.err, 10);
  if (s.out_fd >= 0) ::close(s.out_fd);
  if (s.err_fd >= 0) ::close(s.err_fd);
  if (pidfd >= 0) ::close(pidfd);
  r.exit_code = decode_status(status);
  return r;
}

Process::Process(const std::string& program, const std::vector<std::string>& args,
                 const RunOptions& options) {
  Spawned s = spawn(program, args, options);
  pid_ = s.pid;
  out_fd_ = s.out_fd;
  err_fd_ = s.err_fd;
  ::fcntl(out_fd_, F_SETFL, O_NONBLOCK);
  ::fcntl(err_fd_, F_SETFL, O_NONBLOCK);
}

Process::~Process() {
  if (!exit_) {
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  if (out_fd_ >= 0) ::close(out_fd_);
  if (err_fd_ >= 0) ::close(err_fd_);
}

void Process::drain(int timeout_ms) { pump(out_fd_, err_fd_, out_, err_, timeout_ms); }

bool Process::running() {
  if (exit_) return false;
  drain(0);
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) {
    exit_ = decode_status(status);
    return false;
  }
  return true;
}

std::optional<int> Process::wait(std::uint32_t timeout_ms) {
  const std::uint64_t deadline = now_ms() + timeout_ms;
  while (running()) {
    if (now_ms() > deadline) return std::nullopt;
    drain(10);
  }
  for (int i = 0; i < 20 && (out_fd_ >= 0 || err_fd_ >= 0); ++i) drain(5);
  return exit_;
}

int Process::terminate(std::uint32_t timeout_ms) {
  if (running()) ::kill(pid_, SIGTERM);
  auto code = wait(timeout_ms);
  return code ? *code : -1;
}

std::string Process::out() {
  drain(0);
  return out_;
}

std::string Process::err() {
  drain(0);
  return err_;
}

RunResult run_python(const std::string& script, const std::vector<std::string>& args,
                     const RunOptions& options) {
  // The system interpreter itself, not a version manager's shell shim (which
  // would run a shell under the preloaded runtime first).
  const std::string python = fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "/usr/local/bin/python3";
  RunOptions o = options;
  // The suite's Python binding (pinkauto.py) sits beside the libraries.
  o.env.try_emplace("PYTHONPATH", bin_dir());
#ifdef PINK_SANITIZER_RUNTIME
  o.env["LD_PRELOAD"] = PINK_SANITIZER_RUNTIME;
  // The interpreter keeps its own memory to the end; only the libraries' leaks matter.
  o.env["ASAN_OPTIONS"] = "detect_leaks=0";
#endif
  std::vector<std::string> all{"-c", script};
  all.insert(all.end(), args.begin(), args.end());
  return run(python, all, o);
}

std::string bin_dir() {
  if (const char* d = std::getenv("PINK_BIN_DIR")) return d;
  return PINK_BUILD_BIN_DIR;
}

std::string program(const std::string& name) { return bin_dir() + "/" + name; }

bool wait_until(const std::function<bool()>& check, std::uint32_t timeout_ms) {
  const std::uint64_t deadline = now_ms() + timeout_ms;
  for (;;) {
    if (check()) return true;
    if (now_ms() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace pink::testkit
