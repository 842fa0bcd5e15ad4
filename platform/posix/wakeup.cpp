// The wake-up signal on Linux: an eventfd for notifications and a timerfd
// for the deadline, both in one epoll set whose descriptor is what callers
// poll (an epoll descriptor polls readable while one of its members is).
#include "platform/wakeup.h"

#include <errno.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/clock.h"

namespace pink::wakeup {

// No message loop to serve from: the owner keeps waiting or polling.
struct Signal::Served {
  std::function<void()> run;
};

namespace {

int fd(std::intptr_t h) { return static_cast<int>(h); }

void close_fd(std::intptr_t h) {
  if (h >= 0) ::close(fd(h));
}

void set_timer(std::intptr_t timer, std::uint32_t ms, bool armed) {
  itimerspec when{};
  if (armed) {
    when.it_value.tv_sec = static_cast<time_t>(ms / 1000u);
    when.it_value.tv_nsec = static_cast<long>(ms % 1000u) * 1000000L;
    if (ms == 0) when.it_value.tv_nsec = 1;  // a zero value would disarm
  }
  ::timerfd_settime(fd(timer), 0, &when, nullptr);
}

}  // namespace

Signal::Signal() {
  handle_ = ::epoll_create1(EPOLL_CLOEXEC);
  notify_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  timer_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  bool ok = handle_ >= 0 && notify_ >= 0 && timer_ >= 0;
  for (std::intptr_t member : {notify_, timer_}) {
    if (!ok) break;
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = fd(member);
    ok = ::epoll_ctl(fd(handle_), EPOLL_CTL_ADD, fd(member), &ev) == 0;
  }
  if (!ok) {
    const int error = errno;
    close_fd(timer_);
    close_fd(notify_);
    close_fd(handle_);
    throw std::runtime_error("wake-up signal: no descriptors (errno " + std::to_string(error) + ")");
  }
}

Signal::~Signal() {
  close_fd(timer_);
  close_fd(notify_);
  close_fd(handle_);
}

void Signal::notify() noexcept {
  const std::uint64_t one = 1;
  // A full counter (EAGAIN) is still a set signal.
  while (::write(fd(notify_), &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void Signal::arm_after(std::uint32_t ms) noexcept { set_timer(timer_, ms, true); }

void Signal::disarm() noexcept { set_timer(timer_, 0, false); }

void Signal::clear() noexcept {
  std::uint64_t count = 0;
  // Both are non-blocking: an unset counter or a deadline still ahead reads
  // nothing (EAGAIN) and stays as it is.
  while (::read(fd(notify_), &count, sizeof count) < 0 && errno == EINTR) {
  }
  while (::read(fd(timer_), &count, sizeof count) < 0 && errno == EINTR) {
  }
}

bool Signal::wait(std::uint32_t timeout_ms) noexcept {
  const std::uint64_t end = clock::monotonic_ms() + timeout_ms;
  for (;;) {
    const std::uint64_t now = clock::monotonic_ms();
    const std::uint64_t left = end > now ? end - now : 0;
    pollfd p{fd(handle_), POLLIN, 0};
    const int n = ::poll(&p, 1, left > INT_MAX ? INT_MAX : static_cast<int>(left));
    if (n > 0) return true;
    if (n == 0 && left <= INT_MAX) return false;
    if (n < 0 && errno != EINTR) return false;
  }
}

void Signal::serve(std::function<void()> run) {
  served_ = std::make_shared<Served>();
  served_->run = std::move(run);
}

// No windows: nothing is routed and no message is the signal's.
void Signal::route_to(std::intptr_t) noexcept {}
bool Signal::take_message(std::uint32_t, std::uintptr_t) noexcept { return false; }

}  // namespace pink::wakeup
