#include "tools/testkit/vport.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace pink::testkit {
namespace {

using Clock = std::chrono::steady_clock;

std::runtime_error sys_error(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

struct SpeedName {
  speed_t code;
  std::uint32_t baud;
};

constexpr std::array kSpeeds{
    SpeedName{B50, 50},           SpeedName{B75, 75},           SpeedName{B110, 110},
    SpeedName{B134, 134},         SpeedName{B150, 150},         SpeedName{B200, 200},
    SpeedName{B300, 300},         SpeedName{B600, 600},         SpeedName{B1200, 1200},
    SpeedName{B1800, 1800},       SpeedName{B2400, 2400},       SpeedName{B4800, 4800},
    SpeedName{B9600, 9600},       SpeedName{B19200, 19200},     SpeedName{B38400, 38400},
    SpeedName{B57600, 57600},     SpeedName{B115200, 115200},   SpeedName{B230400, 230400},
    SpeedName{B460800, 460800},   SpeedName{B500000, 500000},   SpeedName{B576000, 576000},
    SpeedName{B921600, 921600},   SpeedName{B1000000, 1000000}, SpeedName{B1152000, 1152000},
    SpeedName{B1500000, 1500000}, SpeedName{B2000000, 2000000}, SpeedName{B2500000, 2500000},
    SpeedName{B3000000, 3000000}, SpeedName{B3500000, 3500000}, SpeedName{B4000000, 4000000},
};

int ms_left(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

int decode_status(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

VirtualPort::VirtualPort(int com_number) : com_(com_number) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) throw sys_error("posix_openpt");
  char name[128];
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
      ::ptsname_r(master_, name, sizeof name) != 0) {
    const auto e = sys_error("pseudo-terminal setup");
    ::close(master_);
    throw e;
  }
  slave_path_ = name;
  // Holding the slave open keeps the master readable (a master whose slave
  // has no opener fails reads with EIO) and keeps the line settings the
  // program leaves behind. It takes neither TIOCEXCL nor the advisory lock,
  // so programs open the port as usual.
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) {
    const auto e = sys_error("open " + slave_path_);
    ::close(master_);
    throw e;
  }
  termios t{};
  ::tcgetattr(slave_, &t);
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  ::tcsetattr(slave_, TCSANOW, &t);
  // The master side of a pseudo-terminal starts raw; reads are non-blocking
  // and driven by poll.
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  env_ = std::make_unique<ScopedEnv>("PINK_COM" + std::to_string(com_), slave_path_);
}

VirtualPort::~VirtualPort() {
  env_.reset();
  ::close(slave_);
  ::close(master_);
}

std::string VirtualPort::read_exact(std::size_t n, std::uint32_t timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  std::string out;
  char buf[4096];
  while (out.size() < n) {
    const ssize_t got = ::read(master_, buf, std::min(sizeof buf, n - out.size()));
    if (got > 0) {
      out.append(buf, static_cast<std::size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno != EAGAIN) break;
    const int ms = ms_left(deadline);
    if (ms == 0) break;
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, ms) < 0 && errno != EINTR) break;
  }
  return out;
}

std::string VirtualPort::read_for(std::uint32_t quiet_ms, std::uint32_t max_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(max_ms);
  std::string out;
  for (;;) {
    const int ms = std::min<int>(static_cast<int>(quiet_ms), ms_left(deadline));
    std::string chunk = read_available(static_cast<std::uint32_t>(ms));
    if (chunk.empty()) break;
    out += chunk;
    if (ms_left(deadline) == 0) break;
  }
  return out;
}

std::string VirtualPort::read_available(std::uint32_t wait_ms) {
  std::string out;
  pollfd p{master_, POLLIN, 0};
  const int pr = ::poll(&p, 1, static_cast<int>(wait_ms));
  if (pr <= 0 || !(p.revents & POLLIN)) return out;
  char buf[4096];
  for (;;) {
    const ssize_t got = ::read(master_, buf, sizeof buf);
    if (got > 0) {
      out.append(buf, static_cast<std::size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    break;
  }
  return out;
}

std::string VirtualPort::read_sent(std::uint32_t max_ms) {
  static std::atomic<unsigned> count{0};
  // No line end in it: output processing the program left on leaves it as it is.
  const std::string marker =
      "\x01pink-sent-" + std::to_string(::getpid()) + "-" + std::to_string(count.fetch_add(1)) + "\x01";
  const int writer = ::open(slave_path_.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (writer < 0) throw sys_error("open " + slave_path_);
  const auto deadline = Clock::now() + std::chrono::milliseconds(max_ms);
  std::string out;
  std::size_t written = 0;
  std::size_t at = std::string::npos;
  while ((at = out.find(marker)) == std::string::npos) {
    if (written < marker.size()) {
      // Without blocking: a program's side full of unread bytes takes the
      // marker once this side has read some of them.
      const ssize_t n = ::write(writer, marker.data() + written, marker.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
    }
    const int ms = ms_left(deadline);
    if (ms == 0) break;
    out += read_available(static_cast<std::uint32_t>(std::min(ms, 50)));
  }
  ::close(writer);
  if (at != std::string::npos) out.erase(at, marker.size());
  return out;
}

std::size_t VirtualPort::pending() {
  int n = 0;
  if (::ioctl(master_, FIONREAD, &n) != 0 || n < 0) return 0;
  return static_cast<std::size_t>(n);
}

void VirtualPort::unplug() {
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
  slave_ = master_ = -1;
  // The pseudo-terminal's number is free now and the next pair made on this
  // machine (by any process) may take it: the port's name must lead nowhere.
  env_.reset();
  env_ = std::make_unique<ScopedEnv>("PINK_COM" + std::to_string(com_), "/dev/pts/unplugged-COM" + std::to_string(com_));
}

void VirtualPort::hold_output(bool hold) {
  if (slave_ >= 0) ::tcflow(slave_, hold ? TCOOFF : TCOON);
}

bool VirtualPort::opened_by_another_process() const {
  namespace fs = std::filesystem;
  const std::string self = std::to_string(::getpid());
  std::error_code ec;
  for (const auto& proc : fs::directory_iterator("/proc", ec)) {
    const std::string pid = proc.path().filename().string();
    if (pid == self || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code fd_ec;
    for (const auto& fd : fs::directory_iterator(proc.path() / "fd", fd_ec)) {
      std::error_code link_ec;
      if (fs::read_symlink(fd.path(), link_ec) == slave_path_) return true;
    }
  }
  return false;
}

void VirtualPort::write(std::string_view bytes) {
  if (master_ < 0) return;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) throw sys_error("write to " + slave_path_);
    pollfd p{master_, POLLOUT, 0};
    ::poll(&p, 1, 100);
  }
}

termios VirtualPort::slave_termios() const {
  termios t{};
  if (::tcgetattr(slave_, &t) != 0) throw sys_error("tcgetattr " + slave_path_);
  return t;
}

LineView VirtualPort::line() const { return decode(slave_termios()); }

std::uint32_t VirtualPort::baud_of(const termios& t) {
  const speed_t code = ::cfgetospeed(&t);
  for (const auto& s : kSpeeds) {
    if (s.code == code) return s.baud;
  }
  return 0;
}

LineView VirtualPort::decode(const termios& t) {
  LineView v;
  v.baud = baud_of(t);
  switch (t.c_cflag & CSIZE) {
    case CS5: v.data_bits = 5; break;
    case CS6: v.data_bits = 6; break;
    case CS7: v.data_bits = 7; break;
    default: v.data_bits = 8; break;
  }
  v.parity_enable = (t.c_cflag & PARENB) != 0;
  v.odd = (t.c_cflag & PARODD) != 0;
  v.stick = (t.c_cflag & CMSPAR) != 0;
  v.two_stop_bits = (t.c_cflag & CSTOPB) != 0;
  v.rts_cts = (t.c_cflag & CRTSCTS) != 0;
  v.xon_out = (t.c_iflag & IXON) != 0;
  v.xon_in = (t.c_iflag & IXOFF) != 0;
  v.xon_char = t.c_cc[VSTART];
  v.xoff_char = t.c_cc[VSTOP];
  v.raw = !(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) && !(t.c_oflag & OPOST) &&
          !(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP));
  return v;
}

AttachedProcess::AttachedProcess(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> argv_s{program};
  argv_s.insert(argv_s.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_s) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_ = ::fork();
  if (pid_ < 0) throw sys_error("fork");
  if (pid_ == 0) {
    ::execvp(program.c_str(), argv.data());
    ::_exit(127);
  }
}

AttachedProcess::~AttachedProcess() {
  if (running()) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
}

bool AttachedProcess::running() {
  if (exit_) return false;
  int status = 0;
  const int w = ::waitpid(pid_, &status, WNOHANG);
  if (w == pid_) {
    exit_ = decode_status(status);
    return false;
  }
  return w == 0;
}

std::optional<int> AttachedProcess::exit_code() {
  running();
  return exit_;
}

int AttachedProcess::wait() {
  while (!exit_) {
    int status = 0;
    const int w = ::waitpid(pid_, &status, 0);
    if (w == pid_) {
      exit_ = decode_status(status);
    } else if (w < 0 && errno != EINTR) {
      exit_ = -1;
    }
  }
  return *exit_;
}

}  // namespace pink::testkit
