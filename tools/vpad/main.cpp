// vpad: a signature pad of one family on a virtual serial port. It plays the
// pad's side of the family's protocol (signpad/device.h) for a control that
// opens the port through $PINK_COMn, and logs every frame both ways.
//
//   vpad FAMILY COMn [options] -- PROGRAM [ARGS...]
//   vpad FAMILY COMn [options] --listen
//
// See tools/vpad/README.md and --help.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/help.h"
#include "platform/files.h"
#include "tools/testkit/capture.h"
#include "tools/testkit/vport.h"
#include "tools/vpad/families.h"
#include "tools/vpad/options.h"
#include "tools/vpad/runner.h"
#include "tools/vpad/trace.h"

namespace {

using pink::vpad::Options;
using pink::vpad::Points;

constexpr int kUsageStatus = 2;
constexpr int kFailedStatus = 1;
constexpr std::uint32_t kCheckMs = 50;

int usage(const std::string& why) {
  std::cerr << "vpad: " << why << "\n\n" << pink::vpad::kUsage;
  return kUsageStatus;
}

// The signature's pen points: the sample, or a bitmap's ink traced.
std::optional<Points> load_signature(const std::string& source, int top, std::string& error) {
  if (source == "sample") return pink::vpad::sample_signature();
  constexpr std::uint64_t kMaxSignatureFileBytes = 16u * 1024u * 1024u;  // a pad's picture is small
  const auto file = pink::files::read_all(source, kMaxSignatureFileBytes);
  if (file.status != pink::files::ReadStatus::Ok) {
    error = "cannot read the signature bitmap " + source;
    return std::nullopt;
  }
  const std::string& b = file.bytes;
  const auto ink = pink::vpad::read_ink(
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(b.data()), b.size()), error);
  if (!ink) {
    error = source + ": " + error;
    return std::nullopt;
  }
  return pink::vpad::trace_ink(*ink, top);
}

void warn_undrawn(const pink::vpad::Family& f, const Points& points) {
  std::size_t outside = 0, unsendable = 0;
  for (const auto& [x, y] : points) {
    if (x < f.min_x || x > f.max_x || y < f.min_y || y > f.max_y) ++outside;
    if (x == f.unsendable || y == f.unsendable) ++unsendable;
  }
  if (outside > 0) {
    std::cerr << "vpad: warning: " << outside << " of the signature's " << points.size()
              << " points fall where a " << f.name << " control draws nothing (x " << f.min_x << ".."
              << f.max_x << ", y " << f.min_y << ".." << f.max_y << ")\n";
  }
  if (unsendable > 0) {
    std::cerr << "vpad: warning: " << unsendable << " of the signature's " << points.size() << " points have a "
              << "coordinate of " << f.unsendable << ", which a " << f.name << " control reads as the end of a record\n";
  }
}

// The program vpad runs, with standard input from /dev/null so that the
// operator's lines reach vpad alone.
class Child {
 public:
  explicit Child(const std::vector<std::string>& command) {
    std::vector<std::string> args = command;
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      const int null = ::open("/dev/null", O_RDONLY);
      if (null >= 0) ::dup2(null, 0);
      ::execvp(argv[0], argv.data());
      std::cerr << "vpad: cannot run " << command[0] << "\n";
      ::_exit(127);
    }
  }
  ~Child() {
    if (running()) {
      ::kill(pid_, SIGTERM);
      wait();
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool started() const { return pid_ > 0; }
  bool running() {
    if (status_ || pid_ <= 0) return false;
    int s = 0;
    if (::waitpid(pid_, &s, WNOHANG) != pid_) return true;
    status_ = decode(s);
    return false;
  }
  int wait() {
    while (!status_ && pid_ > 0) {
      int s = 0;
      if (::waitpid(pid_, &s, 0) == pid_) status_ = decode(s);
      else if (errno != EINTR) status_ = -1;
    }
    return status_.value_or(127);
  }
  void stop() {
    if (running()) ::kill(pid_, SIGTERM);
  }

 private:
  static int decode(int s) { return WIFEXITED(s) ? WEXITSTATUS(s) : 128 + WTERMSIG(s); }
  pid_t pid_ = -1;
  std::optional<int> status_;
};

int serve(const Options& o, const pink::vpad::Family& family, const Points& points, std::ostream& log) {
  pink::testkit::VirtualPort port(o.com);
  pink::testkit::catch_stop_signals();
  pink::signpad::PadScript script = o.script;
  script.signature = points;
  pink::vpad::VirtualPad pad(family.make(script), log, pink::vpad::local_time_stamp());
  pink::vpad::Runner runner(pad, port.master_fd(), STDIN_FILENO, std::cout);
  if (o.listen) {
    std::cout << port.slave_path() << std::endl;
    runner.run([] { return pink::testkit::stop_signal() != 0; }, kCheckMs);
    runner.finish();
    return 0;
  }
  std::cout << "vpad: " << family.name << " on " << port.name() << " (" << port.slave_path() << ")" << std::endl;
  Child child(o.command);
  if (!child.started()) return kFailedStatus;
  const auto end = runner.run([&] { return pink::testkit::stop_signal() != 0 || !child.running(); }, kCheckMs);
  runner.finish();
  if (end == pink::vpad::Runner::End::Quit || pink::testkit::stop_signal() != 0) child.stop();
  const int status = child.wait();
  if (const int sig = pink::testkit::stop_signal()) return 128 + sig;
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (const auto status = pink::cli::respond(args, "vpad", pink::vpad::kUsage)) return *status;
  std::string error;
  const auto options = pink::vpad::parse_options(args, error);
  if (!options) return usage(error);
  if (options->help) {
    std::cout << pink::vpad::kUsage;
    return 0;
  }
  const pink::vpad::Family* family = pink::vpad::find_family(options->family);
  if (family == nullptr) return usage("unknown pad family " + options->family);
  const auto points = load_signature(options->signature, family->top, error);
  if (!points) {
    std::cerr << "vpad: " << error << "\n";
    return kUsageStatus;
  }
  warn_undrawn(*family, *points);
  std::ofstream log_file;
  if (!options->log_file.empty()) {
    log_file.open(options->log_file, std::ios::out | std::ios::app);
    if (!log_file) {
      std::cerr << "vpad: cannot write the log " << options->log_file << "\n";
      return kUsageStatus;
    }
  }
  try {
    return serve(*options, *family, *points, options->log_file.empty() ? std::cout : log_file);
  } catch (const std::exception& e) {
    std::cerr << "vpad: " << e.what() << "\n";
    return kFailedStatus;
  }
}
