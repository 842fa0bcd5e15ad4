#include "tests/wintest/wine_fixture.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "platform/clock.h"
#include "platform/text.h"

namespace pink::wintest {
namespace fs = std::filesystem;
using testkit::Wine;

namespace {

constexpr const char* kMailboxKey = "HKCU\\Software\\VB and VBA Program Settings\\pink";
constexpr const char* kPortsKey = "HKLM\\Software\\Wine\\Ports";
constexpr const char* kAppDefaultsKey = "HKCU\\Software\\Wine\\AppDefaults";
constexpr const char* kDesktopsKey = "HKCU\\Software\\Wine\\Explorer\\Desktops";

std::string wine_command() { return fs::exists("/usr/bin/wine") ? "/usr/bin/wine" : "wine"; }

std::vector<std::uint8_t> from_hex(const std::string& text) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
  }
  return out;
}

// Answers one request of a Windows test program (serial_peer.h).
void answer(testkit::VirtualPort& port, const std::string& request) {
  std::istringstream in(request);
  std::string verb, arg;
  in >> verb >> arg;
  if (verb == "send") {
    const auto bytes = from_hex(arg);
    port.write(std::string(bytes.begin(), bytes.end()));
  } else if (verb == "echo") {
    port.write(port.read_exact(std::stoul(arg), 10000));
  } else if (verb == "echo-tail") {
    // Everything that came, until the line has been quiet for a while; the
    // last bytes go back.
    const std::string got = port.read_for(500, 15000);
    const std::size_t n = std::min<std::size_t>(std::stoul(arg), got.size());
    port.write(got.substr(got.size() - n));
  } else if (verb == "line") {
    const testkit::LineView v = port.line();
    port.write("baud=" + std::to_string(v.baud) + " stop2=" + std::to_string(v.two_stop_bits) +
               " rtscts=" + std::to_string(v.rts_cts) + " xon=" + std::to_string(v.xon_out) +
               " xoff=" + std::to_string(v.xon_in) + "\n");
  }
}

testkit::RunOptions with_wine_env(testkit::RunOptions o) {
  o.env["WINEPREFIX"] = Wine::shared().prefix();
  o.env.try_emplace("WINEDEBUG", "-all");
  o.env["WINEDLLOVERRIDES"] = "mscoree,mshtml=";
  o.env.try_emplace("DISPLAY", "");
  return o;
}

}  // namespace

std::string tests_dir() { return (fs::path(Wine::bin_dir()).parent_path() / "wintests").string(); }

std::string test_program(const std::string& name) { return tests_dir() + "/" + name; }

std::unique_ptr<testkit::Process> start(const std::string& program, const std::vector<std::string>& args,
                                        testkit::RunOptions options) {
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  return std::make_unique<testkit::Process>(wine_command(), all, with_wine_env(std::move(options)));
}

::testing::AssertionResult run_windows_suite(const std::string& filter, const std::map<std::string, std::string>& env,
                                             std::uint32_t timeout_ms) {
  testkit::RunOptions o;
  o.env = env;
  o.timeout_ms = timeout_ms;
  const auto r = Wine::shared().run(test_program("winplatform_tests.exe"), {"--gtest_filter=" + filter}, o);
  if (r.timed_out) return ::testing::AssertionFailure() << "timed out\n" << r.out << r.err;
  if (r.out.find("[  PASSED  ]") == std::string::npos) {
    return ::testing::AssertionFailure() << "no test of " << filter << " ran\n" << r.out << r.err;
  }
  if (r.exit_code != 0) return ::testing::AssertionFailure() << "status " << r.exit_code << "\n" << r.out << r.err;
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult run_with_peer(testkit::VirtualPort& port, const std::string& program,
                                         const std::vector<std::string>& args, const testkit::RunOptions& options,
                                         std::uint32_t timeout_ms) {
  auto p = start(program, args, options);
  std::size_t handled = 0;  // characters of the output already looked at
  const std::uint64_t start_ms = clock::monotonic_ms();
  for (;;) {
    const bool running = p->running();
    const std::string out = p->out();
    std::size_t end;
    while ((end = out.find('\n', handled)) != std::string::npos) {
      std::string line = out.substr(handled, end - handled);
      handled = end + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.rfind("peer ", 0) == 0) answer(port, line.substr(5));
    }
    if (!running) break;
    if (clock::monotonic_ms() - start_ms > timeout_ms) {
      return ::testing::AssertionFailure() << "timed out\n" << p->out() << p->err();
    }
    clock::sleep_ms(10);
  }
  const auto status = p->wait(1000);
  if (status != 0) {
    return ::testing::AssertionFailure() << "status " << status.value_or(-1) << "\n" << p->out() << p->err();
  }
  if (p->out().find("[  PASSED  ]") == std::string::npos && p->out().find("PASSED") == std::string::npos) {
    return ::testing::AssertionFailure() << "nothing ran\n" << p->out() << p->err();
  }
  return ::testing::AssertionSuccess();
}

WindowsDisplay::WindowsDisplay(std::vector<std::string> programs)
    : programs_(std::move(programs)),
      desktop_("pink-" + std::to_string(::getpid())),
      probe_(probe_dir_.file("windowprobe-" + std::to_string(::getpid()) + ".exe")) {
  // The probe's desktop is a per-program setting of the prefix: under the
  // shared name, tests running at once would send each other's probes to
  // their own desktops (on their own displays), and the first to end would
  // take the setting away from the others. A copy under a name of this
  // process's own has a setting of its own.
  fs::copy_file(test_program("windowprobe.exe"), probe_);
  programs_.push_back(fs::path(probe_).filename().string());
  Wine& wine = Wine::shared();
  wine.run("reg", {"add", kDesktopsKey, "/v", desktop_, "/d", "1024x768", "/f"});
  for (const auto& p : programs_) {
    const std::string key = std::string(kAppDefaultsKey) + "\\" + p + "\\Explorer";
    wine.run("reg", {"add", key, "/v", "Desktop", "/d", desktop_, "/f"});
  }
  for (int attempt = 0; attempt < 40; ++attempt) {
    if (wine.run(probe_, {}, options()).exit_code == 0) return;
    clock::sleep_ms(250);
  }
  throw std::runtime_error("Windows programs get no window on display " + display_.name());
}

WindowsDisplay::~WindowsDisplay() {
  Wine& wine = Wine::shared();
  for (const auto& p : programs_) wine.run("reg", {"delete", std::string(kAppDefaultsKey) + "\\" + p, "/f"});
  wine.run("reg", {"delete", kDesktopsKey, "/v", desktop_, "/f"});
}

testkit::RunOptions WindowsDisplay::options(testkit::RunOptions o) const {
  o.env["DISPLAY"] = display_.name();
  return o;
}

// As for the COM ports: the registry, which Wine's device manager makes
// the links from when the prefix's server starts, and the link an open
// resolves now.
LptLink::LptLink(int n, const std::string& target)
    : name_("LPT" + std::to_string(n)), link_(Wine::shared().prefix() + "/dosdevices/lpt" + std::to_string(n)) {
  const auto r = Wine::shared().run("reg", {"add", kPortsKey, "/v", name_, "/d", target, "/f"});
  if (r.exit_code != 0) {
    throw std::runtime_error("cannot map " + name_ + ": reg status " + std::to_string(r.exit_code) + " " + r.out + r.err);
  }
  std::error_code ec;
  fs::remove(link_, ec);
  fs::create_symlink(target, link_, ec);
  if (ec) throw std::runtime_error("cannot link " + link_ + ": " + ec.message());
}

LptLink::~LptLink() {
  Wine::shared().run("reg", {"add", kPortsKey, "/v", name_, "/d", "", "/f"});
  std::error_code ec;
  fs::remove(link_, ec);
}

PrefixLock::PrefixLock() {
  const std::string path = Wine::shared().prefix() + ".programs.lock";
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0 || ::flock(fd_, LOCK_EX) != 0) throw std::runtime_error("cannot lock " + path);
}

PrefixLock::~PrefixLock() {
  if (fd_ >= 0) ::close(fd_);
}

void clear_mailbox() { Wine::shared().run("reg", {"delete", kMailboxKey, "/f"}); }

void put(const std::string& section, const std::string& key, const std::string& value) {
  const auto r = Wine::shared().run(Wine::shared().program("mailbox.exe"), {"set", section, key, value});
  if (r.exit_code != 0) {
    throw std::runtime_error("mailbox set " + section + " " + key + ": status " + std::to_string(r.exit_code) +
                             (r.timed_out ? " (timed out) " : " ") + r.err + r.out);
  }
}

std::string get(const std::string& section, const std::string& key) {
  const auto r = Wine::shared().run(Wine::shared().program("mailbox.exe"), {"get", section, key});
  std::string v = text::cp949_to_utf8(r.out);
  while (!v.empty() && (v.back() == '\n' || v.back() == '\r')) v.pop_back();
  return v;
}

std::vector<Entry> list_mailbox() {
  const auto r = Wine::shared().run(Wine::shared().program("mailbox.exe"), {"list"});
  std::vector<Entry> entries;
  std::istringstream in(text::cp949_to_utf8(r.out));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto t1 = line.find('\t');
    const auto t2 = line.find('\t', t1 + 1);
    if (t1 == std::string::npos || t2 == std::string::npos) continue;
    entries.push_back({line.substr(0, t1), line.substr(t1 + 1, t2 - t1 - 1), line.substr(t2 + 1)});
  }
  return entries;
}

std::string describe(const std::vector<Entry>& entries) {
  std::string s;
  for (const auto& e : entries) s += "  " + e.section + "/" + e.key + " = \"" + e.value + "\"\n";
  return s;
}

}  // namespace pink::wintest
