#include "tools/testkit/wine.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>

namespace pink::testkit {
namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kPrefixTimeoutMs = 180000;
constexpr std::uint32_t kDefaultTimeoutMs = 30000;
constexpr int kStartAttempts = 3;  // of a program Wine could not start
constexpr const char* kPortsKey = "HKLM\\Software\\Wine\\Ports";

std::string wine_command() {
  for (const char* c : {"/usr/bin/wine", "/usr/local/bin/wine", "/usr/bin/wine64"}) {
    if (fs::exists(c)) return c;
  }
  return {};
}

std::string default_prefix() {
  if (const char* p = std::getenv("PINK_WINEPREFIX"); p != nullptr && *p) return p;
  return std::string(PINK_SOURCE_DIR) + "/build/wine/prefix";
}

// The environment every Wine call gets: the prefix, no debug chatter, and no
// offer to install Mono or Gecko (which would wait for a click).
void wine_env(RunOptions& o, const std::string& prefix) {
  o.env["WINEPREFIX"] = prefix;
  o.env.try_emplace("WINEDEBUG", "-all");
  o.env["WINEDLLOVERRIDES"] = "mscoree,mshtml=";
  if (o.env.find("DISPLAY") == o.env.end()) o.env["DISPLAY"] = "";
}

// Wine's own lines ("it looks like wine32 is missing ...", fixme:) are not
// the program's.
std::string without_wine_notes(const std::string& err) {
  std::string out;
  std::size_t at = 0;
  bool skipping_block = false;
  while (at < err.size()) {
    const std::size_t end = err.find('\n', at);
    const std::string line = err.substr(at, end == std::string::npos ? std::string::npos : end - at + 1);
    at = end == std::string::npos ? err.size() : end + 1;
    if (line.find("wine32 is missing") != std::string::npos) skipping_block = true;
    const bool note = skipping_block || line.rfind("fixme:", 0) == 0 || line.rfind("err:", 0) == 0 ||
                      line.rfind("wine: ", 0) == 0 || line.find("multiarch") != std::string::npos ||
                      line.find("apt-get install wine32") != std::string::npos;
    if (line.find("wine32:i386") != std::string::npos) skipping_block = false;
    if (!note) out += line;
  }
  return out;
}

// Wine's launcher could not start the program at all: it ran nothing of
// it. Seen on a loaded machine while the prefix's server session ends and
// another begins (the server leaves as soon as its last program ends, so
// tests running at once meet these moments often); a program that ran and
// failed never says this.
bool not_started(const RunResult& r) {
  return r.exit_code != 0 && !r.timed_out && r.out.find("ShellExecuteEx failed") != std::string::npos;
}

}  // namespace

bool Wine::available(std::string* why) {
  if (wine_command().empty()) {
    if (why) *why = "Wine is not installed (scripts/setup installs it)";
    return false;
  }
  if (!fs::exists(bin_dir())) {
    if (why) *why = "the 64-bit Windows build is missing: " + bin_dir() + " (make win64)";
    return false;
  }
  return true;
}

std::string Wine::bin_dir() {
  if (const char* d = std::getenv("PINK_WIN64_BIN_DIR"); d != nullptr && *d) return d;
  return std::string(PINK_SOURCE_DIR) + "/build/win64/bin";
}

Wine::Wine(std::string prefix) : prefix_(std::move(prefix)) { make(); }

Wine& Wine::shared() {
  static std::once_flag once;
  static Wine* wine = nullptr;
  std::call_once(once, [] { wine = new Wine(default_prefix()); });
  return *wine;
}

void Wine::make() const {
  fs::create_directories(fs::path(prefix_).parent_path());
  const std::string lock_path = prefix_ + ".lock";
  const int lock = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock < 0 || ::flock(lock, LOCK_EX) != 0) throw std::runtime_error("cannot lock " + lock_path);
  struct Unlock {
    int fd;
    ~Unlock() { ::close(fd); }
  } unlock{lock};
  const std::string ready = prefix_ + "/.pink-ready";
  if (fs::exists(ready)) return;
  RunOptions o;
  o.timeout_ms = kPrefixTimeoutMs;
  wine_env(o, prefix_);
  const RunResult r = testkit::run(wine_command(), {"wineboot", "--init"}, o);
  if (r.exit_code != 0 || r.timed_out) {
    throw std::runtime_error("wineboot failed for " + prefix_ + ": " + r.err);
  }
  // Every port number Wine lets the registry name is claimed here, empty:
  // Wine then has no number left for the host's serial and parallel devices
  // but the last one (COM256, which nothing of the suite uses), and tests map
  // the ports they use to pseudo-terminals.
  const std::string reg = prefix_ + "/ports.reg";
  {
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n";
    for (int n = 1; n < 256; ++n) text += "\"COM" + std::to_string(n) + "\"=\"\"\r\n";
    for (int n = 1; n < 10; ++n) text += "\"LPT" + std::to_string(n) + "\"=\"\"\r\n";
    FILE* f = std::fopen(reg.c_str(), "wb");
    if (f == nullptr) throw std::runtime_error("cannot write " + reg);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  const RunResult imported = testkit::run(wine_command(), {"regedit", "/S", windows_path(reg)}, o);
  if (imported.exit_code != 0) throw std::runtime_error("cannot set the ports of " + prefix_ + ": " + imported.err);
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(prefix_ + "/dosdevices", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("com", 0) == 0 || name.rfind("lpt", 0) == 0) fs::remove(entry.path(), ec);
  }
  if (FILE* f = std::fopen(ready.c_str(), "w")) std::fclose(f);
}

RunResult Wine::run(const std::string& program, const std::vector<std::string>& args, RunOptions options) const {
  if (options.timeout_ms == RunOptions{}.timeout_ms) options.timeout_ms = kDefaultTimeoutMs;
  wine_env(options, prefix_);
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  RunResult r;
  for (int attempt = 1;; ++attempt) {
    r = testkit::run(wine_command(), all, options);
    if (attempt == kStartAttempts || !not_started(r)) break;
  }
  r.err = without_wine_notes(r.err);
  return r;
}

void Wine::map_port(int n, const std::string& device) const {
  const std::string name = "COM" + std::to_string(n);
  const RunResult r = run("reg", {"add", kPortsKey, "/v", name, "/d", device, "/f"});
  if (r.exit_code != 0) {
    throw std::runtime_error("cannot map " + name + ": reg status " + std::to_string(r.exit_code) + " " + r.out + r.err);
  }
  // The running Wine server reads the registry at its start; the link is
  // what an open resolves now.
  const std::string link = prefix_ + "/dosdevices/com" + std::to_string(n);
  std::error_code ec;
  fs::remove(link, ec);
  fs::create_symlink(device, link, ec);
  if (ec) throw std::runtime_error("cannot link " + link + ": " + ec.message());
}

void Wine::unmap_port(int n) const {
  run("reg", {"add", kPortsKey, "/v", "COM" + std::to_string(n), "/d", "", "/f"});
  std::error_code ec;
  fs::remove(prefix_ + "/dosdevices/com" + std::to_string(n), ec);
}

std::optional<std::string> Wine::reg_query(const std::string& key, const std::string& value) const {
  std::vector<std::string> args{"query", key};
  if (value.empty()) {
    args.push_back("/ve");
  } else {
    args.insert(args.end(), {"/v", value});
  }
  const RunResult r = run("reg", args);
  if (r.exit_code != 0) return std::nullopt;
  // "    <name>    REG_SZ    <data>"
  for (std::size_t at = 0; at < r.out.size();) {
    const std::size_t end = r.out.find('\n', at);
    std::string line = r.out.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? r.out.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t type = line.find("REG_");
    if (type == std::string::npos) continue;
    const std::size_t data = line.find("    ", type);
    return data == std::string::npos ? std::string() : line.substr(data + 4);
  }
  return std::nullopt;
}

bool Wine::reg_key_exists(const std::string& key) const { return run("reg", {"query", key}).exit_code == 0; }

std::string Wine::windows_path(const std::string& unix_path) {
  std::string w = "Z:" + unix_path;
  for (char& c : w) {
    if (c == '/') c = '\\';
  }
  return w;
}

WinePort::WinePort(int com_number) : VirtualPort(com_number) {
  Wine::shared().map_port(com_number, slave_path());
}

WinePort::~WinePort() {
  try {
    Wine::shared().unmap_port(com_number());
  } catch (...) {
  }
}

VirtualDisplay::VirtualDisplay() {
  for (int n = 90 + static_cast<int>(::getpid() % 400); n < 1000; ++n) {
    if (fs::exists("/tmp/.X11-unix/X" + std::to_string(n)) || fs::exists("/tmp/.X" + std::to_string(n) + "-lock")) {
      continue;
    }
    name_ = ":" + std::to_string(n);
    server_ = std::make_unique<Process>("/usr/bin/Xvfb", std::vector<std::string>{name_, "-screen", "0", "1024x768x24",
                                                                                  "-nolisten", "tcp"});
    if (wait_until([&] { return fs::exists("/tmp/.X11-unix/X" + std::to_string(n)) || !server_->running(); }, 10000) &&
        server_->running()) {
      return;
    }
    server_.reset();
  }
  throw std::runtime_error("Xvfb could not be started");
}

VirtualDisplay::~VirtualDisplay() {
  if (server_) server_->terminate(5000);
}

}  // namespace pink::testkit
