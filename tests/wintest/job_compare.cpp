#include "tests/wintest/job_compare.h"

#include <filesystem>
#include <fstream>

#include "platform/settings.h"
#include "platform/text.h"

namespace pink::wintest {
namespace fs = std::filesystem;
using testkit::Wine;

namespace {

constexpr std::uint32_t kRunMs = 60000;

// A folder laid out as the programs expect it: the job file, the log folder,
// the parallel port's capture file and the extra files.
void prepare(const testkit::TempDir& work, const Job& job) {
  work.mkdir("zorlog");
  work.write("lpt1.out", "");
  work.write("trace.txt", "");
  if (!job.job_file.empty()) {
    std::string text;
    for (const auto& l : job.lines) text += text::utf8_to_cp949(l) + "\r\n";
    work.write(job.job_file, text);
  }
  for (const auto& [name, bytes] : job.files) work.write(name, bytes);
}

std::string masked_log(const testkit::TempDir& work) {
  std::string log = work.exists("zorlog/ZorVB.log") ? work.read("zorlog/ZorVB.log") : "";
  for (char& c : log) {
    if (c >= '0' && c <= '9') c = '#';
  }
  return log;
}

void collect_files(const testkit::TempDir& work, Outcome& o) {
  o.parallel = work.read("lpt1.out");
  o.trace = text::cp949_to_utf8(work.read("trace.txt"));
  o.log = masked_log(work);
}

// The port's bytes: everything the program sent before it ended.
std::string drain(testkit::VirtualPort& port) { return port.read_sent(20000); }

// "c:\sign.bmp" of the prefix, written for the scope and removed with the other name.
class WindowsSignFile {
 public:
  explicit WindowsSignFile(const std::string& bytes) : dir_(Wine::shared().prefix() + "/drive_c") {
    clear();
    if (!bytes.empty()) std::ofstream(dir_ + "/sign.bmp", std::ios::binary) << bytes;
  }
  ~WindowsSignFile() { clear(); }

 private:
  void clear() {
    std::error_code ec;
    fs::remove(dir_ + "/sign.bmp", ec);
    fs::remove(dir_ + "/zorsign.bmp", ec);
  }
  std::string dir_;
};

}  // namespace

Outcome run_on_linux(const Job& job) {
  Outcome o;
  testkit::TempStore store;
  testkit::TempDir work, signs;
  prepare(work, job);
  testkit::ScopedEnv signdir("PINK_SIGNDIR", signs.path());
  testkit::ScopedEnv lpt("PINK_LPT1", work.file("lpt1.out"));
  testkit::ScopedEnv trace("PINK_MAILBOX_TRACE", work.file("trace.txt"));
  if (!job.sign_bmp.empty()) signs.write("sign.bmp", job.sign_bmp);
  for (const auto& e : job.mailbox) {
    settings::put("pink", text::utf8_to_cp949(e.section), text::utf8_to_cp949(e.key), text::utf8_to_cp949(e.value));
  }
  std::unique_ptr<testkit::VirtualPort> port;
  if (job.com != 0) port = std::make_unique<testkit::VirtualPort>(job.com);
  testkit::RunOptions run;
  run.cwd = work.path();
  run.timeout_ms = kRunMs;
  o.exit_code = testkit::run(testkit::program(job.program), {}, run).exit_code;
  if (port) o.serial = drain(*port);
  for (const auto& e : settings::list("pink")) {
    o.mailbox.push_back({text::cp949_to_utf8(e.section), text::cp949_to_utf8(e.key), text::cp949_to_utf8(e.value)});
  }
  collect_files(work, o);
  return o;
}

Outcome run_on_windows(const Job& job) {
  Outcome o;
  PrefixLock lock;
  testkit::TempDir work;
  prepare(work, job);
  WindowsSignFile sign(job.sign_bmp);
  LptLink lpt(1, work.file("lpt1.out"));
  clear_mailbox();
  for (const auto& e : job.mailbox) put(e.section, e.key, e.value);
  std::unique_ptr<testkit::WinePort> port;
  if (job.com != 0) port = std::make_unique<testkit::WinePort>(job.com);
  testkit::RunOptions run;
  run.cwd = work.path();
  run.timeout_ms = kRunMs;
  run.env["PINK_MAILBOX_TRACE"] = Wine::windows_path(work.file("trace.txt"));
  o.exit_code = Wine::shared().run(Wine::shared().program(job.program + ".exe"), {}, run).exit_code;
  if (port) o.serial = drain(*port);
  o.mailbox = list_mailbox();
  collect_files(work, o);
  return o;
}

::testing::AssertionResult same_on_both(const Job& job, Outcome* linux_side, Outcome* windows_side) {
  const Outcome l = run_on_linux(job);
  const Outcome w = run_on_windows(job);
  if (linux_side) *linux_side = l;
  if (windows_side) *windows_side = w;
  auto differ = [&](const char* what, const std::string& a, const std::string& b) {
    return ::testing::AssertionFailure() << job.program << ": " << what << " differs\n  Linux:   " << escaped(a)
                                         << "\n  Windows: " << escaped(b);
  };
  if (l.exit_code != w.exit_code) {
    return differ("exit status", std::to_string(l.exit_code), std::to_string(w.exit_code));
  }
  if (l.serial != w.serial) return differ("serial output", l.serial, w.serial);
  if (l.parallel != w.parallel) return differ("parallel output", l.parallel, w.parallel);
  if (l.mailbox != w.mailbox) return differ("mailbox", describe(l.mailbox), describe(w.mailbox));
  if (l.trace != w.trace) return differ("mailbox writes", l.trace, w.trace);
  if (l.log != w.log) return differ("log", l.log, w.log);
  return ::testing::AssertionSuccess();
}

std::string escaped(const std::string& bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : bytes) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace pink::wintest
