// Serial port on termios.
//
// "COMn" lives at $PINK_COMn (a pseudo-terminal slave in tests and virtual
// setups) or /dev/ttyS(n-1). The port is held exclusively: TIOCEXCL keeps
// other users out, and an advisory lock does the same for root, whom the
// kernel lets through TIOCEXCL.
//
// Writes complete only when their bytes have left the port. On a
// pseudo-terminal the bytes have "left" as soon as the other side could read
// them, and tcflush(TCOFLUSH) would throw away what the other side has not read
// yet; so an output purge flushes the kernel queue only after a write that did
// not complete.
#include "platform/serial.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>

namespace pink::serial {
namespace {

using Clock = std::chrono::steady_clock;

struct BaudCode {
  std::uint32_t baud;
  speed_t code;
};

constexpr std::array kBauds{
    BaudCode{50, B50},           BaudCode{75, B75},           BaudCode{110, B110},
    BaudCode{134, B134},         BaudCode{150, B150},         BaudCode{200, B200},
    BaudCode{300, B300},         BaudCode{600, B600},         BaudCode{1200, B1200},
    BaudCode{1800, B1800},       BaudCode{2400, B2400},       BaudCode{4800, B4800},
    BaudCode{9600, B9600},       BaudCode{19200, B19200},     BaudCode{38400, B38400},
    BaudCode{57600, B57600},     BaudCode{115200, B115200},   BaudCode{230400, B230400},
    BaudCode{460800, B460800},   BaudCode{500000, B500000},   BaudCode{576000, B576000},
    BaudCode{921600, B921600},   BaudCode{1000000, B1000000}, BaudCode{1152000, B1152000},
    BaudCode{1500000, B1500000}, BaudCode{2000000, B2000000}, BaudCode{2500000, B2500000},
    BaudCode{3000000, B3000000}, BaudCode{3500000, B3500000}, BaudCode{4000000, B4000000},
};

std::optional<speed_t> speed_code(std::uint32_t baud) {
  for (const auto& b : kBauds) {
    if (b.baud == baud) return b.code;
  }
  return std::nullopt;
}

std::uint32_t baud_of(speed_t code) {
  for (const auto& b : kBauds) {
    if (b.code == code) return b.baud;
  }
  return 0;
}

// The one mapping from line settings to termios. Starts from the current
// attributes (so that fields the settings do not cover stay as they are),
// puts the line in raw mode and returns false for what termios cannot express.
bool to_termios(const LineSettings& line, termios& t) {
  const auto code = speed_code(line.baud);
  if (!code) return false;
  tcflag_t size = 0;
  switch (line.data_bits) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: return false;
  }
  // One and a half stop bits exist only with five data bits, where CSTOPB
  // means exactly that; two stop bits do not exist with five data bits.
  if (line.stop_bits == StopBits::OneAndHalf && line.data_bits != 5) return false;
  if (line.stop_bits == StopBits::Two && line.data_bits == 5) return false;
  // termios has no DSR output flow control.
  if (line.dsr_flow) return false;

  ::cfmakeraw(&t);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  t.c_cflag |= size | CLOCAL | CREAD;
  switch (line.parity) {
    case Parity::None: break;
    case Parity::Odd: t.c_cflag |= PARENB | PARODD; break;
    case Parity::Even: t.c_cflag |= PARENB; break;
    case Parity::Mark: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case Parity::Space: t.c_cflag |= PARENB | CMSPAR; break;
  }
  if (line.stop_bits != StopBits::One) t.c_cflag |= CSTOPB;
  if (line.cts_flow) t.c_cflag |= CRTSCTS;

  // Input parity checking stays off whatever parity_check says: with it,
  // termios turns a byte with a parity error into a NUL, where the comm
  // driver of the other platform hands the byte on unchanged and only flags
  // the error.
  t.c_iflag &= ~(INPCK | IGNPAR | PARMRK | ISTRIP | IXON | IXOFF | IXANY);
  if (line.xon_xoff_out) t.c_iflag |= IXON;
  if (line.xon_xoff_in) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = static_cast<cc_t>(line.xon_char);
  t.c_cc[VSTOP] = static_cast<cc_t>(line.xoff_char);
  // Reads are driven by poll and the time-outs, never by the line discipline.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  ::cfsetispeed(&t, *code);
  ::cfsetospeed(&t, *code);
  return true;
}

// What a freshly opened device holds, in the terms of LineSettings (the
// modem-line and limit fields keep their defaults).
LineSettings from_termios(const termios& t) {
  LineSettings line;
  line.baud = baud_of(::cfgetospeed(&t));
  switch (t.c_cflag & CSIZE) {
    case CS5: line.data_bits = 5; break;
    case CS6: line.data_bits = 6; break;
    case CS7: line.data_bits = 7; break;
    default: line.data_bits = 8; break;
  }
  if (t.c_cflag & PARENB) {
    if (t.c_cflag & CMSPAR) {
      line.parity = (t.c_cflag & PARODD) ? Parity::Mark : Parity::Space;
    } else {
      line.parity = (t.c_cflag & PARODD) ? Parity::Odd : Parity::Even;
    }
  }
  if (t.c_cflag & CSTOPB) line.stop_bits = line.data_bits == 5 ? StopBits::OneAndHalf : StopBits::Two;
  line.cts_flow = (t.c_cflag & CRTSCTS) != 0;
  line.xon_xoff_out = (t.c_iflag & IXON) != 0;
  line.xon_xoff_in = (t.c_iflag & IXOFF) != 0;
  line.xon_char = t.c_cc[VSTART];
  line.xoff_char = t.c_cc[VSTOP];
  return line;
}

// A point in time that may be "never".
class Deadline {
 public:
  static Deadline never() { return Deadline(); }
  static Deadline in_ms(std::uint64_t ms) {
    Deadline d;
    d.at_ = Clock::now() + std::chrono::milliseconds(ms);
    return d;
  }
  bool bounded() const { return at_.has_value(); }
  bool expired() const { return at_ && Clock::now() >= *at_; }
  // Milliseconds left for poll(): -1 when unbounded, rounded up otherwise.
  int poll_ms() const {
    if (!at_) return -1;
    const auto left = *at_ - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<long long>(ms, 1 << 30));
  }
  Deadline earlier(const Deadline& other) const {
    if (!at_) return other;
    if (!other.at_) return *this;
    return *at_ <= *other.at_ ? *this : other;
  }

 private:
  std::optional<Clock::time_point> at_;
};

class PosixPort final : public Port {
 public:
  PosixPort(std::string name, int fd, int wake_fd, const LineSettings& line)
      : Port(std::move(name)), fd_(fd), wake_fd_(wake_fd), line_(line) {}

  ~PosixPort() override {
    // Bytes of a write that did not complete would keep close() waiting for
    // a line that does not move; drop them as the other platform does.
    if (tx_incomplete_) ::tcflush(fd_, TCOFLUSH);
    ::ioctl(fd_, TIOCNXCL);
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    ::close(wake_fd_);
  }

  bool set_queues(std::uint32_t in_bytes, std::uint32_t out_bytes) override {
    // The kernel sizes its own queues; the sizes are kept for reference.
    in_queue_ = in_bytes;
    out_queue_ = out_bytes;
    return true;
  }

  bool get_line(LineSettings& out) override {
    out = line_;
    return true;
  }

  bool set_line(const LineSettings& line) override {
    termios old{};
    if (::tcgetattr(fd_, &old) != 0) return false;
    termios t = old;
    if (!to_termios(line, t)) return false;
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) {
      ::tcsetattr(fd_, TCSANOW, &old);
      return false;
    }
    // tcsetattr succeeds when any part was taken; a driver that cannot run
    // at the rate keeps its old one, which counts as a refusal. (Pseudo-
    // terminals always report 8 data bits and no parity, so only the rate is
    // compared.)
    termios now{};
    if (::tcgetattr(fd_, &now) != 0 || ::cfgetospeed(&now) != ::cfgetospeed(&t)) {
      ::tcsetattr(fd_, TCSANOW, &old);
      return false;
    }
    // Devices without modem lines (pseudo-terminals) refuse these; the line
    // settings stand without them. With RTS/CTS handshake the kernel drives
    // RTS itself.
    set_modem_line(TIOCM_DTR, line.dtr_on);
    if (!line.cts_flow) set_modem_line(TIOCM_RTS, line.rts_on);
    line_ = line;
    return true;
  }

  bool set_timeouts(const Timeouts& t) override {
    timeouts_ = t;
    return true;
  }
  const Timeouts& timeouts() const override { return timeouts_; }

  bool purge(unsigned flags) override {
    bool ok = true;
    if ((flags & (kAbortTx | kClearTx)) && tx_incomplete_) {
      ok = ::tcflush(fd_, TCOFLUSH) == 0 && ok;
      tx_incomplete_ = false;
    }
    if (flags & (kAbortRx | kClearRx)) ok = ::tcflush(fd_, TCIFLUSH) == 0 && ok;
    return ok;
  }

  WriteResult write(std::span<const std::uint8_t> bytes, std::uint32_t wait_ms) override {
    WriteResult r;
    if (bytes.empty()) {
      r.status = WriteStatus::Completed;
      return r;
    }
    const Deadline deadline = write_deadline(bytes.size(), wait_ms);
    std::size_t handed = 0;
    while (handed < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + handed, bytes.size() - handed);
      if (n > 0) {
        handed += static_cast<std::size_t>(n);
        tx_pending_ = true;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        tx_incomplete_ = tx_incomplete_ || handed > 0;
        r.text = std::strerror(errno);
        r.status = WriteStatus::Failed;
        r.written = handed;
        return r;
      }
      // The kernel queue is full: wait for room.
      const int ms = deadline.poll_ms();
      if (ms == 0) return timed_out(handed);
      pollfd p{fd_, POLLOUT, 0};
      const int pr = ::poll(&p, 1, ms);
      if (pr < 0 && errno != EINTR) {
        tx_incomplete_ = true;
        r.text = std::strerror(errno);
        r.status = WriteStatus::Failed;
        r.written = handed;
        return r;
      }
      if (pr > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(p.revents & POLLOUT)) {
        tx_incomplete_ = true;
        r.text = (p.revents & POLLHUP) ? "the line hung up" : "the device reported an error";
        r.status = WriteStatus::Failed;
        r.written = handed;
        return r;
      }
    }
    // Every byte is with the kernel; wait until they have left the port.
    if (!deadline.bounded()) {
      while (::tcdrain(fd_) != 0 && errno == EINTR) {
      }
    } else {
      for (;;) {
        const std::uint32_t queued = output_count();
        if (queued == 0) break;
        if (deadline.expired()) return timed_out(handed - std::min<std::size_t>(handed, queued));
        std::this_thread::sleep_for(std::chrono::milliseconds(drain_step_ms(queued, deadline)));
      }
    }
    tx_incomplete_ = false;
    r.status = WriteStatus::Completed;
    r.written = handed;
    return r;
  }

  long read(std::span<std::uint8_t> out) override {
    if (out.empty()) return 0;
    const Timeouts t = timeouts_;
    constexpr std::uint32_t kMax = clock::kWaitForever;
    std::size_t got = 0;

    if (t.read_interval == kMax) {
      // Take what is waiting; with no total time-out, that is all.
      if (!read_available(out, got)) return got ? static_cast<long>(got) : -1;
      if (got > 0 || (t.read_total_multiplier == 0 && t.read_total_constant == 0)) {
        return static_cast<long>(got);
      }
      // Otherwise wait up to the total time-out for the first byte and
      // return with whatever is there by then.
      const std::uint64_t total =
          std::uint64_t{t.read_total_constant == kMax ? 0 : t.read_total_constant} +
          std::uint64_t{t.read_total_multiplier == kMax ? 0 : t.read_total_multiplier};
      const Deadline deadline = Deadline::in_ms(total);
      for (;;) {
        const int ready = wait_readable(deadline.poll_ms());
        if (ready < 0) return -1;
        if (ready > 0) {
          if (!read_available(out, got)) return got ? static_cast<long>(got) : -1;
          if (got > 0) return static_cast<long>(got);
        }
        if (deadline.expired()) return 0;
      }
    }

    // Total time-out over the whole read, interval time-out between bytes;
    // with neither, block until the buffer is full.
    const std::uint64_t total =
        std::uint64_t{t.read_total_multiplier} * out.size() + t.read_total_constant;
    const Deadline total_deadline =
        (t.read_total_multiplier == 0 && t.read_total_constant == 0) ? Deadline::never()
                                                                      : Deadline::in_ms(total);
    Deadline gap = Deadline::never();
    while (got < out.size()) {
      const std::size_t before = got;
      if (!read_available(out, got)) return got ? static_cast<long>(got) : -1;
      if (got == out.size()) break;
      if (got > before && t.read_interval != 0) gap = Deadline::in_ms(t.read_interval);
      const Deadline next = total_deadline.earlier(gap);
      if (next.expired()) break;
      const int ready = wait_readable(next.poll_ms());
      if (ready < 0) return got ? static_cast<long>(got) : -1;
    }
    return static_cast<long>(got);
  }

  std::uint32_t input_count() override {
    int n = 0;
    if (::ioctl(fd_, FIONREAD, &n) != 0 || n < 0) return 0;
    return static_cast<std::uint32_t>(n);
  }

  std::uint32_t output_count() override {
    int n = 0;
    if (::ioctl(fd_, TIOCOUTQ, &n) != 0 || n < 0) return 0;
    return static_cast<std::uint32_t>(n);
  }

  bool set_event_mask(std::uint32_t mask) override {
    mask_.store(mask);
    generation_.fetch_add(1);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_fd_, &one, sizeof one);
    return true;
  }

  std::uint32_t event_mask() const override { return mask_.load(); }

  std::uint32_t wait_event(std::uint32_t timeout_ms) override {
    const std::uint64_t generation = generation_.load();
    const std::uint32_t mask = mask_.load();
    const Deadline deadline =
        timeout_ms == clock::kWaitForever ? Deadline::never() : Deadline::in_ms(timeout_ms);
    for (;;) {
      if ((mask & kEventRxChar) && input_count() > 0) return kEventRxChar;
      if ((mask & kEventTxEmpty) && tx_pending_.load() && output_count() == 0) {
        tx_pending_ = false;
        return kEventTxEmpty;
      }
      if ((mask & kEventError) && hung_up_ && !hangup_reported_) {
        hangup_reported_ = true;
        return kEventError;
      }
      pollfd fds[2] = {{wake_fd_, POLLIN, 0}, {fd_, POLLIN, 0}};
      const bool watch_line = (mask & (kEventRxChar | kEventError)) && !hung_up_;
      int ms = deadline.poll_ms();
      // The output queue has no readiness to wait for; look at it now and then.
      if ((mask & kEventTxEmpty) && tx_pending_.load()) ms = ms < 0 ? 10 : std::min(ms, 10);
      const int pr = ::poll(fds, watch_line ? 2 : 1, ms);
      if (pr < 0 && errno != EINTR) return 0;
      if (pr > 0 && (fds[0].revents & POLLIN)) {
        std::uint64_t drained = 0;
        [[maybe_unused]] const ssize_t n = ::read(wake_fd_, &drained, sizeof drained);
        if (generation_.load() != generation) return 0;
      }
      // A line that has hung up stays readable for good (reads give end of
      // file or EIO) with nothing in it: watching it would spin.
      if (pr > 0 && watch_line && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) && input_count() == 0) {
        hung_up_ = true;  // the other end is gone; stop watching the line
      }
      if (deadline.expired()) return 0;
    }
  }

  bool set_dtr(bool on) override { return set_modem_line(TIOCM_DTR, on); }
  bool set_rts(bool on) override { return set_modem_line(TIOCM_RTS, on); }

  void clear_errors() override {
    // termios reports line errors in the data stream, not as a sticky state.
  }

 private:
  Deadline write_deadline(std::size_t size, std::uint32_t wait_ms) const {
    const Timeouts& t = timeouts_;
    Deadline d = wait_ms == clock::kWaitForever ? Deadline::never() : Deadline::in_ms(wait_ms);
    if (t.write_total_multiplier != 0 || t.write_total_constant != 0) {
      d = d.earlier(Deadline::in_ms(std::uint64_t{t.write_total_multiplier} * size +
                                    t.write_total_constant));
    }
    return d;
  }

  WriteResult timed_out(std::size_t written) {
    tx_incomplete_ = true;
    WriteResult r;
    r.status = WriteStatus::TimedOut;
    r.written = written;
    return r;
  }

  // How long to sleep before looking at the output queue again: about half
  // the line time of what is queued, within 1..20 ms and the deadline.
  unsigned drain_step_ms(std::uint32_t queued, const Deadline& deadline) const {
    const std::uint64_t baud = line_.baud ? line_.baud : 9600;
    std::uint64_t ms = std::uint64_t{queued} * 10 * 1000 / baud / 2;
    ms = std::clamp<std::uint64_t>(ms, 1, 20);
    const int left = deadline.poll_ms();
    if (left >= 0) ms = std::min<std::uint64_t>(ms, std::max(left, 1));
    return static_cast<unsigned>(ms);
  }

  // Reads what the kernel holds into out[got..]; false when the read call
  // fails (or the other end hung up).
  bool read_available(std::span<std::uint8_t> out, std::size_t& got) {
    while (got < out.size()) {
      const ssize_t n = ::read(fd_, out.data() + got, out.size() - got);
      if (n > 0) {
        got += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
      return false;
    }
    return true;
  }

  // 1 readable, 0 nothing within ms, -1 failure or hang-up.
  int wait_readable(int ms) {
    pollfd p{fd_, POLLIN, 0};
    const int pr = ::poll(&p, 1, ms);
    if (pr < 0) return errno == EINTR ? 0 : -1;
    if (pr == 0) return 0;
    if (p.revents & POLLIN) return 1;
    return -1;
  }

  bool set_modem_line(int bit, bool on) { return ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) == 0; }

  int fd_;
  int wake_fd_;
  LineSettings line_;
  Timeouts timeouts_{};
  std::uint32_t in_queue_ = 0, out_queue_ = 0;
  bool tx_incomplete_ = false;           // the last write left bytes behind
  std::atomic<bool> tx_pending_{false};  // written since the last TxEmpty event
  std::atomic<std::uint32_t> mask_{0};
  std::atomic<std::uint64_t> generation_{0};
  bool hung_up_ = false;
  bool hangup_reported_ = false;
};

OpenResult fail(OpenStatus status, std::string text) {
  OpenResult r;
  r.status = status;
  r.text = std::move(text);
  return r;
}

std::string errno_text(int err) { return std::strerror(err); }

}  // namespace

bool is_supported_baud(std::uint32_t baud) { return speed_code(baud).has_value(); }

std::string device_path(std::string_view name) {
  const int n = port_number(name);
  if (n == 0) return {};
  const std::string var = "PINK_COM" + std::to_string(n);
  if (const char* v = std::getenv(var.c_str()); v && *v) return v;
  return "/dev/ttyS" + std::to_string(n - 1);
}

OpenResult open(std::string_view name) {
  const int n = port_number(name);
  if (n == 0) return fail(OpenStatus::NoSuchPort, "not a serial port name: " + std::string(name));
  const std::string canonical = "COM" + std::to_string(n);
  const std::string path = device_path(canonical);

  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    const std::string why = canonical + " (" + path + "): " + errno_text(err);
    switch (err) {
      case ENOENT:
      case ENOTDIR:
      case ENODEV:
      case ENXIO:
      case EIO:  // a serial device node without its hardware
        return fail(OpenStatus::NoSuchPort, why);
      case EBUSY:
        return fail(OpenStatus::InUse, why);
      default:
        return fail(OpenStatus::Failed, why);
    }
  }
  // From here on every failure closes what was opened.
  auto give_up = [fd](OpenStatus status, std::string text) {
    ::close(fd);
    return fail(status, std::move(text));
  };

  if (!::isatty(fd)) return give_up(OpenStatus::NoSuchPort, path + ": not a serial device");
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    if (err == EWOULDBLOCK) return give_up(OpenStatus::InUse, path + ": in use");
    return give_up(OpenStatus::Failed, path + ": " + errno_text(err));
  }
  ::ioctl(fd, TIOCEXCL);

  termios t{};
  if (::tcgetattr(fd, &t) != 0) {
    const int err = errno;
    ::ioctl(fd, TIOCNXCL);
    return give_up(OpenStatus::Failed, path + ": " + errno_text(err));
  }
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (::tcsetattr(fd, TCSANOW, &t) != 0 || ::tcgetattr(fd, &t) != 0) {
    const int err = errno;
    ::ioctl(fd, TIOCNXCL);
    return give_up(OpenStatus::Failed, path + ": " + errno_text(err));
  }

  const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake < 0) {
    const int err = errno;
    ::ioctl(fd, TIOCNXCL);
    return give_up(OpenStatus::Failed, "eventfd: " + errno_text(err));
  }

  OpenResult r;
  r.status = OpenStatus::Ok;
  r.port = std::make_unique<PosixPort>(canonical, fd, wake, from_termios(t));
  return r;
}

}  // namespace pink::serial
