// Posting to a "window" on Linux: one record written to the caller's file
// descriptor, with a bounded wait for room and without SIGPIPE.
//
// The descriptor's flags belong to the caller and are left alone: a socket
// gets MSG_DONTWAIT | MSG_NOSIGNAL on each send; a pipe or other file is
// written once poll() reports room (a free pipe slot takes a 12-byte record
// whole), with SIGPIPE held back for this thread during the write.
#include "platform/window.h"

#include <errno.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <climits>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <thread>

namespace pink::window {
namespace {

using Clock = std::chrono::steady_clock;

enum class Sink {
  Invalid,       // not an open descriptor
  Socket,        // sent with MSG_DONTWAIT | MSG_NOSIGNAL
  Counter,       // an eventfd: 8-byte increments only
  File,          // a pipe, FIFO, terminal or file: plain writes
};

bool is_eventfd(int fd) {
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  char target[64];
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
  if (n <= 0) return false;
  return std::string_view(target, static_cast<std::size_t>(n)) == "anon_inode:[eventfd]";
}

Sink sink_of(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return Sink::Invalid;
  if (S_ISSOCK(st.st_mode)) return Sink::Socket;
  if (!S_ISFIFO(st.st_mode) && !S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode) && is_eventfd(fd)) {
    return Sink::Counter;
  }
  return Sink::File;
}

// Holds SIGPIPE back for the calling thread while it lives; a SIGPIPE that
// the guarded write raised is taken away before the mask is put back, so the
// process never sees it. One that was pending before is left as it was.
class NoSigpipe {
 public:
  NoSigpipe() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigemptyset(&pending);
    ::sigpending(&pending);
    was_pending_ = sigismember(&pending, SIGPIPE) == 1;
    ::pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
  }
  ~NoSigpipe() {
    if (!was_pending_) {
      sigset_t pending;
      sigemptyset(&pending);
      ::sigpending(&pending);
      if (sigismember(&pending, SIGPIPE) == 1) {
        const timespec none{0, 0};
        while (::sigtimedwait(&pipe_, nullptr, &none) < 0 && errno == EINTR) {
        }
      }
    }
    ::pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }
  NoSigpipe(const NoSigpipe&) = delete;
  NoSigpipe& operator=(const NoSigpipe&) = delete;

 private:
  sigset_t pipe_;
  sigset_t old_;
  bool was_pending_ = false;
};

int ms_left(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// One attempt to hand over bytes; -1 with errno on failure.
ssize_t put(int fd, Sink sink, std::span<const std::uint8_t> bytes) {
  if (sink == Sink::Socket) return ::send(fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
  NoSigpipe guard;
  return ::write(fd, bytes.data(), bytes.size());
}

// Writes all of `bytes`, waiting for room until the deadline. False when
// the time ran out or the descriptor failed (a closed reader among them).
bool write_all(int fd, Sink sink, std::span<const std::uint8_t> bytes, Clock::time_point deadline) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    pollfd p{fd, POLLOUT, 0};
    const int ready = ::poll(&p, 1, ms_left(deadline));
    if (ready < 0 && errno != EINTR) return false;
    if (ready == 0) return false;  // no room in time: the message is lost
    if (ready < 0) continue;
    if ((p.revents & POLLNVAL) || ((p.revents & (POLLERR | POLLHUP)) && !(p.revents & POLLOUT))) {
      return false;
    }
    const ssize_t n = put(fd, sink, bytes.subspan(done));
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (ms_left(deadline) == 0) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    return false;
  }
  return true;
}

void put_le32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

bool post_message(std::intptr_t window, std::uint32_t message, std::uint32_t wparam,
                  std::uint32_t lparam) {
  if (window <= 0 || window > INT_MAX) return false;
  const int fd = static_cast<int>(window);
  const Sink sink = sink_of(fd);
  if (sink == Sink::Invalid) return false;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kPostWaitMs);
  if (sink == Sink::Counter) {
    const std::uint64_t one = 1;  // the counter is a host-order u64
    std::array<std::uint8_t, sizeof one> bytes{};
    std::memcpy(bytes.data(), &one, sizeof one);
    return write_all(fd, sink, bytes, deadline);
  }
  std::array<std::uint8_t, kRecordBytes> record{};
  put_le32(record.data(), message);
  put_le32(record.data() + 4, wparam);
  put_le32(record.data() + 8, lparam);
  return write_all(fd, sink, record, deadline);
}

}  // namespace pink::window
