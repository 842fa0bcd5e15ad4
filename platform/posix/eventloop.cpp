// The event loop on Linux: one thread polls a self-pipe that the stop
// signals write to (and the stop FIFO of a program that listens for stop
// requests), and on every pass runs the pollers and the timers that are due. A pass waits at most 10 ms, so pollers see the serial ports often
// enough to stand in for a receive event.
#include "platform/eventloop.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "platform/clock.h"
#include "platform/common/eventloop_common.h"
#include "platform/env.h"
#include "platform/text.h"

namespace pink::events {
namespace {

constexpr int kMaxWaitMs = 10;

volatile std::sig_atomic_t g_stop_signal = 0;
int g_wake_pipe[2] = {-1, -1};
Loop* g_current = nullptr;

extern "C" void on_stop_signal(int) {
  const int saved = errno;
  g_stop_signal = 1;
  if (g_wake_pipe[1] >= 0) {
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_wake_pipe[1], &b, 1);
  }
  errno = saved;
}

void drain_wake_pipe() {
  if (g_wake_pipe[0] < 0) return;
  char buf[64];
  while (::read(g_wake_pipe[0], buf, sizeof buf) > 0) {
  }
}

// The folder of the single-instance locks and the stop FIFOs.
std::string lock_folder() {
  if (auto d = env::get("PINK_LOCKDIR")) return *d;
  if (auto r = env::get("XDG_RUNTIME_DIR")) return *r;
  return "/tmp";
}

std::string stop_fifo_path(std::string_view name) {
  return lock_folder() + "/pink-" + text::cp949_to_utf8(name) + ".stop";
}

// Opens the FIFO at `path` without blocking; -1 with errno set otherwise
// (ENXIO for a write end while nobody reads). A file that is not a FIFO of
// this user is refused with EPERM: a stray file there must neither stop a
// program at once nor receive bytes.
int open_stop_fifo(const std::string& path, int mode) {
  int fd = -1;
  do {
    fd = ::open(path.c_str(), mode | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISFIFO(st.st_mode) || st.st_uid != ::getuid()) {
    ::close(fd);
    errno = EPERM;
    return -1;
  }
  return fd;
}

}  // namespace

struct Loop::Impl : detail::LoopState {
  int stop_fd = -1;  // read end of the stop FIFO while listening

  // Takes a stop request that came through the FIFO.
  void take_stop_request() {
    char buf[64];
    while (::read(stop_fd, buf, sizeof buf) > 0) {
    }
    request_stop();
  }

  void check_stop() {
    if (g_stop_signal == 0) return;
    g_stop_signal = 0;
    drain_wake_pipe();
    request_stop();
  }

  // Runs every enabled timer that is due and not already running, earliest
  // first. A timer whose callback is still on the stack (it let messages
  // run) is skipped rather than re-entered.
  void run_due_timers() {
    for (detail::Timer* t : timers.due_at(clock::monotonic_ms())) {
      if (quit) break;
      // An earlier callback may have disabled or restarted this one.
      if (!t->enabled || t->running || t->due > clock::monotonic_ms()) continue;
      t->due = clock::monotonic_ms() + t->interval_ms;
      timers.fire(*t);
    }
  }

  void pass(int timeout_ms) {
    check_stop();
    if (quit) return;
    run_pollers();
    if (quit) return;
    run_due_timers();
    if (quit || timeout_ms == 0) return;
    const int wait = std::min(timeout_ms, static_cast<int>(timers.wait_ms(clock::monotonic_ms(), kMaxWaitMs)));
    if (wait <= 0 && stop_fd < 0) return;
    // poll() passes over entries whose descriptor is -1.
    pollfd pfd[2] = {{g_wake_pipe[0], POLLIN, 0}, {stop_fd, POLLIN, 0}};
    const int r = ::poll(pfd, 2, std::max(wait, 0));
    if (r > 0 && (pfd[0].revents & POLLIN)) drain_wake_pipe();
    check_stop();
    if (!quit && r > 0 && (pfd[1].revents & POLLIN)) take_stop_request();
  }
};

Loop::Loop() : impl_(std::make_unique<Impl>()) { g_current = this; }

Loop::~Loop() {
  if (impl_->stop_fd >= 0) ::close(impl_->stop_fd);
  if (g_current == this) g_current = nullptr;
}

Loop::TimerId Loop::add_timer(std::uint32_t interval_ms, std::function<void()> fn) {
  // A 0 interval would spin.
  detail::Timer& t = impl_->timers.add(std::max<std::uint32_t>(interval_ms, 1), std::move(fn));
  t.due = clock::monotonic_ms() + t.interval_ms;
  return t.id;
}

void Loop::enable_timer(TimerId id, bool enabled) {
  // Re-enabling restarts the interval.
  if (detail::Timer* t = impl_->timers.set_enabled(id, enabled); t != nullptr && enabled) {
    t->due = clock::monotonic_ms() + t->interval_ms;
  }
}

bool Loop::timer_enabled(TimerId id) const { return impl_->timers.enabled(id); }

void Loop::add_poller(std::function<void()> fn) { impl_->pollers.push_back(std::move(fn)); }

void Loop::on_stop(std::function<void()> fn) { impl_->stop_fns.push_back(std::move(fn)); }

int Loop::run() {
  if (impl_->stop_requested) return impl_->exit_code;
  while (!impl_->quit) impl_->pass(kMaxWaitMs);
  impl_->quit = false;  // a later run() runs again
  return impl_->exit_code;
}

void Loop::quit(int exit_code) {
  impl_->exit_code = exit_code;
  impl_->quit = true;
}

bool Loop::stop_requested() const {
  impl_->check_stop();
  return impl_->stop_requested;
}

void Loop::request_stop() { impl_->request_stop(); }

void Loop::pump() { impl_->pass(0); }

Loop* Loop::current() { return g_current; }

Result<void> Loop::listen_for_stop(std::string_view name) {
  if (impl_->stop_fd >= 0) return {};
  const std::string path = stop_fifo_path(name);
  if (::mkfifo(path.c_str(), 0600) != 0 && errno != EEXIST) {
    return Result<void>::failure(path + ": " + std::strerror(errno));
  }
  // Read and write: the FIFO never reports a hang-up when a sender closes,
  // and a sender's open finds a reader for as long as the loop lives.
  const int fd = open_stop_fifo(path, O_RDWR);
  if (fd < 0) {
    const std::string reason = errno == EPERM ? std::string("not a FIFO of this user") : std::strerror(errno);
    return Result<void>::failure(path + ": " + reason);
  }
  impl_->stop_fd = fd;
  return {};
}

StopResult send_stop(std::string_view name, std::uint32_t wait_ms) {
  const std::string path = stop_fifo_path(name);
  const int fd = open_stop_fifo(path, O_WRONLY);
  if (fd < 0) return errno == ENXIO || errno == ENOENT ? StopResult::NotRunning : StopResult::Failed;
  const char request = 1;
  ssize_t n = -1;
  do {
    n = ::write(fd, &request, 1);
  } while (n < 0 && errno == EINTR);
  ::close(fd);
  if (n != 1) return StopResult::Failed;
  // Somebody reads the FIFO while a listener's loop lives.
  const std::uint64_t start = clock::monotonic_ms();
  for (;;) {
    const int again = open_stop_fifo(path, O_WRONLY);
    if (again < 0) return errno == ENXIO || errno == ENOENT ? StopResult::Stopped : StopResult::Failed;
    ::close(again);
    if (clock::monotonic_ms() - start >= wait_ms) return StopResult::StillRunning;
    clock::sleep_ms(20);
  }
}

void install_stop_handlers() {
  if (g_wake_pipe[0] < 0) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
      g_wake_pipe[0] = fds[0];
      g_wake_pipe[1] = fds[1];
    }
  }
  struct sigaction sa{};
  sa.sa_handler = on_stop_signal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGINT, &sa, nullptr);
}

SingleInstance::SingleInstance(std::string_view name) {
  const std::string path = lock_folder() + "/pink-" + text::cp949_to_utf8(name) + ".lock";
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    std::fprintf(stderr, "cannot open the single-instance lock %s\n", path.c_str());
    return;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return;
  }
  handle_ = fd;
  acquired_ = true;
}

SingleInstance::~SingleInstance() {
  // The file stays: removing it could let a third process lock a new file
  // while a second one still waits on the old one.
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

void show_status(std::string_view caption, std::string_view text_cp949) {
  static std::mutex mutex;
  static std::string last;
  std::string line = text::cp949_to_utf8(caption);
  if (!line.empty()) line += ' ';
  line += text::cp949_to_utf8(text_cp949);
  line += '\n';
  const std::lock_guard<std::mutex> lock(mutex);
  if (line == last) return;
  last = line;
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

}  // namespace pink::events
