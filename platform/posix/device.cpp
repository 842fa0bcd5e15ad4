// Device files on Linux: the parallel port names map onto $PINK_LPTn or
// /dev/lp(n-1); anything else is a path. Regular files are appended to (the
// capture files of tests and integrators); device nodes and FIFOs are opened
// non-blocking so that a write can keep to its time window, and are locked
// for exclusive use the way Windows opens them without sharing.
#include "platform/device.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "platform/common/device_common.h"
#include "platform/env.h"
#include "platform/failure.h"
#include "platform/text.h"

namespace pink::device {
namespace {

std::uint64_t now_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

// A write to a pipe whose reader has gone raises SIGPIPE, which would end
// the process. The signal is held back on this thread for the write and a
// SIGPIPE the write raised is taken off again, so that the write just fails.
class SigpipeGuard {
 public:
  SigpipeGuard() {
    sigemptyset(&pipe_set_);
    sigaddset(&pipe_set_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    was_pending_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_set_, &old_);
  }
  ~SigpipeGuard() {
    if (raised_ && !was_pending_) {
      const timespec zero{};
      while (sigtimedwait(&pipe_set_, nullptr, &zero) < 0 && errno == EINTR) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }
  void note_epipe() { raised_ = true; }

 private:
  sigset_t pipe_set_{};
  sigset_t old_{};
  bool was_pending_ = false;
  bool raised_ = false;
};

class PosixFile final : public File {
 public:
  PosixFile(std::string path, int fd, bool regular) : File(std::move(path)), fd_(fd), regular_(regular) {}
  ~PosixFile() override { ::close(fd_); }

  long write(std::span<const std::uint8_t> bytes, std::uint32_t window_ms) override {
    if (bytes.empty()) return 0;
    SigpipeGuard guard;
    return regular_ ? write_file(bytes, guard) : write_device(bytes, window_ms, guard);
  }

  void purge() override {
    if (::isatty(fd_) == 1) ::tcflush(fd_, TCIOFLUSH);
  }

 private:
  long write_file(std::span<const std::uint8_t> bytes, SigpipeGuard& guard) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t w = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (w < 0) {
        if (errno == EINTR) continue;
        if (errno == EPIPE) guard.note_epipe();
        return done == 0 ? -1 : static_cast<long>(done);
      }
      done += static_cast<std::size_t>(w);
    }
    return static_cast<long>(done);
  }

  long write_device(std::span<const std::uint8_t> bytes, std::uint32_t window_ms, SigpipeGuard& guard) {
    const bool forever = window_ms == clock::kWaitForever;
    const std::uint64_t deadline = now_ms() + detail::pending_limit_ms(window_ms, bytes.size());
    std::size_t done = 0;
    bool tried_after_hangup = false;
    while (done < bytes.size()) {
      const ssize_t w = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (w > 0) {
        done += static_cast<std::size_t>(w);
        continue;
      }
      if (w < 0 && errno == EINTR) continue;
      if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        if (errno == EPIPE) guard.note_epipe();
        return done == 0 ? -1 : static_cast<long>(done);
      }
      if (tried_after_hangup) break;  // the other end is gone and takes nothing more
      int timeout = -1;
      if (!forever) {
        const std::uint64_t now = now_ms();
        if (now >= deadline) break;
        timeout = static_cast<int>(deadline - now);
      }
      pollfd pfd{fd_, POLLOUT, 0};
      const int r = ::poll(&pfd, 1, timeout);
      if (r < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (r > 0 && (pfd.revents & POLLOUT) == 0) tried_after_hangup = true;
    }
    return static_cast<long>(done);
  }

  int fd_;
  bool regular_;
};

bool is_folder(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string folder_of(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

OpenResult failed(Err number, const std::string& path, const char* why) {
  OpenResult r;
  r.error = static_cast<int>(number);
  r.text = path + ": " + why;
  return r;
}

OpenResult failed_errno(int err, const std::string& path) {
  Err number = Err::PathFileAccessError;
  switch (err) {
    case ENOENT:
      number = is_folder(folder_of(path)) ? Err::FileNotFound : Err::PathNotFound;
      break;
    case ENOTDIR:
      number = Err::PathNotFound;
      break;
    case EACCES:
    case EPERM:
      number = Err::PermissionDenied;
      break;
    case ENXIO:
    case ENODEV:
    case EBUSY:
      number = Err::DeviceUnavailable;
      break;
    default:
      break;
  }
  return failed(number, path, std::strerror(err));
}

}  // namespace

std::string resolve(std::string_view name) {
  if (const int n = detail::lpt_number(name); n > 0) {
    const std::string var = "PINK_LPT" + std::to_string(n);
    if (auto value = env::get(var)) return *value;
    return "/dev/lp" + std::to_string(n - 1);
  }
  return text::cp949_to_utf8(name);
}

OpenResult open(std::string_view name, Access access) {
  const std::string path = resolve(name);
  if (path.empty()) return failed(Err::BadFileNameOrNumber, path, "empty name");

  int flags = O_CLOEXEC | O_NOCTTY | (access == Access::Write ? O_WRONLY : O_RDWR);
  struct stat st{};
  const bool present = ::stat(path.c_str(), &st) == 0;
  if (!present || S_ISREG(st.st_mode)) {
    // A regular file, created for output when missing - but nothing is ever
    // created under /dev, where a missing node means a missing device.
    flags |= O_APPEND;
    if (access == Access::Write && path.rfind("/dev/", 0) != 0) flags |= O_CREAT;
  } else {
    flags |= O_NONBLOCK;
  }

  int fd = -1;
  do {
    fd = ::open(path.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return failed_errno(errno, path);

  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    return failed_errno(err, path);
  }
  const bool regular = S_ISREG(st.st_mode);
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    return failed(Err::PathFileAccessError, path, "is a folder");
  }
  if (!regular) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
      ::close(fd);
      return failed(Err::DeviceUnavailable, path, "in use by another handle");
    }
    // A terminal line (a pseudo-terminal standing in for a printer, a serial
    // line named as a path) passes the bytes unchanged, as a Windows device
    // does: no newline translation, no echo.
    termios tio{};
    if (::isatty(fd) == 1 && ::tcgetattr(fd, &tio) == 0) {
      ::cfmakeraw(&tio);
      ::tcsetattr(fd, TCSANOW, &tio);
    }
    // Blocking or not is the write's business: it waits with poll.
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0 && (fl & O_NONBLOCK) == 0) ::fcntl(fd, F_SETFL, fl | O_NONBLOCK);
  }
  OpenResult r;
  r.file = std::make_unique<PosixFile>(path, fd, regular);
  return r;
}

}  // namespace pink::device
