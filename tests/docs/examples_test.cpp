// Runs every example of the reference pages against the virtual devices and
// holds it to what the page says comes out: the job files through the real
// spoolers, the C examples compiled against the headers and libraries, the
// Python examples through ctypes.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <random>
#include <set>
#include <thread>

#include "platform/settings.h"
#include "platform/socket.h"
#include "platform/text.h"
#include "tests/docs/doc_blocks.h"
#include "tools/paysim/options.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace fs = std::filesystem;
using namespace pink;
using namespace pink::testkit;

namespace pink::docs {
// Names an example in test output by where it stands.
void PrintTo(const Example& e, std::ostream* os) { *os << e.run.file << ":" << e.run.line; }
}  // namespace pink::docs

namespace {

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<docs::Example> all_examples() {
  std::vector<docs::Block> blocks;
  const fs::path dir = fs::path(PINK_SOURCE_DIR) / "docs";
  if (!fs::is_directory(dir)) return {};
  std::vector<fs::path> pages;
  for (const auto& e : fs::directory_iterator(dir)) {
    if (e.path().extension() == ".md") pages.push_back(e.path());
  }
  std::sort(pages.begin(), pages.end());
  // The README's walk-throughs are run as they stand too.
  pages.insert(pages.begin(), fs::path(PINK_SOURCE_DIR) / "README.md");
  for (const auto& p : pages) {
    auto b = docs::fenced_blocks(p.filename().string(), read_file(p));
    blocks.insert(blocks.end(), b.begin(), b.end());
  }
  return docs::examples(blocks);
}

std::string hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string job_file_of(const std::string& program) {
  if (program == "printer" || program == "enter" || program == "kitchenb") return program + ".zor";
  return "kitchen.zor";
}

// The job text as the POS writes it: cp949, CR LF after every line.
std::string job_bytes(const std::string& body) {
  std::string out;
  std::istringstream in(body);
  for (std::string line; std::getline(in, line);) out += text::utf8_to_cp949(line) + "\r\n";
  return out;
}

std::string mailbox_value(const std::string& section, const std::string& key) {
  return text::cp949_to_utf8(settings::get("pink", section, key));
}

// A free TCP port that a 16-bit signed number holds (corvana's port
// argument), away from the system's ephemeral range.
std::uint16_t free_short_port() {
  const unsigned seed = std::random_device{}();
  for (unsigned i = 0; i < 2000; ++i) {
    const auto port = static_cast<std::uint16_t>(20000 + (seed * 7919u + i * 31u) % 12000u);
    if (port == paysim::kDefaultPort) continue;  // the README's walk-through listens there
    if (net::listen("127.0.0.1", port)) return port;  // closed again at once
  }
  ADD_FAILURE() << "no free port below 32768";
  return 0;
}

// A device an example talks to, alive for the example's run.
class Harness {
 public:
  Harness(const std::string& name, const TempDir& dir) : name_(name) {
    if (name.rfind("COM", 0) == 0) {
      port_ = std::make_unique<VirtualPort>(std::stoi(name.substr(3)));
    } else if (name == "drawer") {
      env_["PINK_DRAWERDIR"] = dir.file("run");
      device_ = std::make_unique<Process>(program("vdrawer"),
                                          std::vector<std::string>{"drawerio", "--close-after", "3000"},
                                          RunOptions{dir.path(), env_});
      EXPECT_TRUE(wait_until([&] { return fs::exists(dir.file("run/TevDraw2kKwDev")); }, 10000));
    } else if (name == "scanner") {
      port_ = std::make_unique<VirtualPort>(2);
      feeder_ = std::thread([this] {
        // The scanner reads a code again and again until the example ends.
        while (!stop_) {
          port_->write("4901234567894\r");
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
      });
    } else if (name == "msgsim") {
      device_ = std::make_unique<Process>(program("msgsim"),
                                          std::vector<std::string>{"--port", "0", "--store", dir.file("mms")},
                                          RunOptions{dir.path(), {}});
      std::string address;
      EXPECT_TRUE(wait_until([&] {
        const std::string out = device_->out();
        const auto at = out.find("listening on ");
        if (at == std::string::npos || out.find('\n', at) == std::string::npos) return false;
        address = out.substr(at + 13, out.find('\n', at) - at - 13);
        return true;
      }, 10000));
      env_["PINK_MSG_PRIMARY"] = address;
      env_["PINK_MSG_SECONDARY"] = address;
      env_["PINK_MSG_LOGDIR"] = dir.path();
    } else if (name == "paysim") {
      env_["PORT"] = std::to_string(free_short_port());
    } else {
      EXPECT_EQ(name, "none") << "no such harness";
    }
  }
  ~Harness() {
    stop_ = true;
    if (feeder_.joinable()) feeder_.join();
  }
  const std::map<std::string, std::string>& env() const { return env_; }
  VirtualPort* port() { return port_.get(); }
  bool is_scanner() const { return name_ == "scanner"; }

 private:
  std::string name_;
  std::map<std::string, std::string> env_;
  std::unique_ptr<VirtualPort> port_;
  std::unique_ptr<Process> device_;
  std::thread feeder_;
  std::atomic<bool> stop_{false};
};

class DocExample : public ::testing::TestWithParam<docs::Example> {
 protected:
  void check_bytes(const std::string& received) {
    const auto& e = GetParam();
    if (!e.bytes) return;
    std::string error;
    const auto expected = docs::parse_bytes(*e.bytes, &error);
    ASSERT_TRUE(expected) << e.run.file << ":" << e.run.line << ": bytes block: " << error;
    EXPECT_EQ(hex(received), hex(*expected)) << e.run.file << ":" << e.run.line;
  }

  void check_mailbox() {
    for (const auto& m : GetParam().mailbox) {
      EXPECT_EQ(mailbox_value(m.section, m.key), m.value) << m.section << "/" << m.key;
    }
  }

  void run_job();
  std::unique_ptr<Process> run_resident(const std::string& name, const RunOptions& options);
  void run_program();

  TempDir dir_;
  TempStore store_;
};

// Starts a resident printer and hands it one job; it keeps running.
std::unique_ptr<Process> DocExample::run_resident(const std::string& name,
                                                  const RunOptions& options) {
  auto resident = std::make_unique<Process>(program(name), std::vector<std::string>{}, options);
  // Start-up writes its marker ("Load" or "OP"); then the POS asks for the job.
  EXPECT_TRUE(wait_until([] {
    const auto p = mailbox_value("floyd", "kit_process");
    return p == "Load" || p == "OP";
  }, 20000)) << resident->err();
  settings::put("pink", "floyd", "kit_state", "");
  settings::put("pink", "floyd", "kit_abc", "Y");
  EXPECT_TRUE(wait_until([] { return mailbox_value("floyd", "kit_state") == "end"; }, 20000))
      << resident->err();
  return resident;
}

void DocExample::run_job() {
  const auto& e = GetParam();
  ASSERT_GE(e.run.info.size(), 3u) << "a job block names its program and port";
  const std::string name = e.run.info[1];
  const std::string device = e.run.info[2];
  dir_.write(job_file_of(name), job_bytes(e.run.body));

  RunOptions options{dir_.path(), {{"PINK_LOCKDIR", dir_.path()}}};
  std::unique_ptr<VirtualPort> port;
  if (device == "LPT1") {
    options.env["PINK_LPT1"] = dir_.file("lpt1.out");
  } else {
    ASSERT_EQ(device.rfind("COM", 0), 0u) << device;
    port = std::make_unique<VirtualPort>(std::stoi(device.substr(3)));
  }
  std::unique_ptr<Process> resident;
  if (name == "kitmux" || name == "kitfeed") {
    resident = run_resident(name, options);
  } else {
    const auto r = run(program(name), {}, options);
    EXPECT_EQ(r.exit_code, 0) << r.err;
  }
  check_bytes(port ? port->read_for(200, 3000)
                   : (dir_.exists("lpt1.out") ? dir_.read("lpt1.out") : std::string()));
  check_mailbox();
  if (resident) {
    // The resident printer was still up after its job, and stops when asked.
    EXPECT_TRUE(resident->running()) << resident->err();
    const auto stop = run(program(name), {"--stop"}, options);
    EXPECT_EQ(stop.exit_code, 0) << stop.err;
  }
}

void DocExample::run_program() {
  const auto& e = GetParam();
  ASSERT_GE(e.run.info.size(), 3u) << "a runnable block names its harness";
  Harness harness(e.run.info[2], dir_);
  RunOptions options{dir_.path(), harness.env()};
  options.env["LD_LIBRARY_PATH"] = bin_dir();
  RunResult r;
  if (e.run.info[0] == "c") {
    ASSERT_GE(e.run.info.size(), 4u) << "a C example names its library";
    dir_.write("example.c", e.run.body);
    const std::string cmd = std::string(PINK_DOCS_CC) + " -Wall -Werror " + PINK_DOCS_CFLAGS +
                            " -I" + PINK_SOURCE_DIR + "/include " + dir_.file("example.c") + " -o " +
                            dir_.file("example") + " -L" + bin_dir() + " -l" + e.run.info[3] +
                            " -Wl,-rpath," + bin_dir() + " 2>&1";
    const auto compiled = run("/bin/sh", {"-c", cmd}, {dir_.path(), {}, 120000});
    ASSERT_EQ(compiled.exit_code, 0) << compiled.out << compiled.err;
    r = run(dir_.file("example"), {}, options);
  } else if (e.run.info[0] == "sh") {
    // Shell examples find the suite's programs on the path, as after an install.
    dir_.write("example.sh", e.run.body);
    options.env["PATH"] = bin_dir() + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
    options.timeout_ms = 60000;
    r = run("/bin/bash", {"-e", dir_.file("example.sh")}, options);
  } else {
    r = run_python(e.run.body, {}, options);
  }
  EXPECT_EQ(r.exit_code, 0) << r.err;
  if (e.output) {
    EXPECT_EQ(r.out, *e.output) << r.err;
  }
  if (e.bytes) {
    ASSERT_NE(harness.port(), nullptr) << "a bytes block needs a port harness";
    check_bytes(harness.port()->read_for(200, 3000));
  }
}

TEST_P(DocExample, RunsAsThePageSays) {
  const auto& e = GetParam();
  ASSERT_TRUE(e.bytes || e.output || !e.mailbox.empty())
      << e.run.file << ":" << e.run.line << ": an example that checks nothing";
  if (e.run.info[0] == "job") {
    run_job();
  } else {
    run_program();
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, DocExample, ::testing::ValuesIn(all_examples()),
                         [](const auto& info) { return info.param.name(); });

// The pages hold examples of every kind: a page that lost its tags would
// otherwise leave nothing to run and nothing failing.
TEST(DocPages, HoldRunnableExamplesOfEveryKind) {
  const auto all = all_examples();
  std::set<std::string> programs, kinds;
  for (const auto& e : all) {
    kinds.insert(e.run.info[0]);
    if (e.run.info[0] == "job") programs.insert(e.run.info.at(1));
  }
  EXPECT_EQ(kinds, (std::set<std::string>{"job", "c", "python", "sh"}));
  for (const char* p : {"printer", "enter", "kitchen", "kitmux", "kitfeed"}) {
    EXPECT_TRUE(programs.count(p)) << "no job example for " << p;
  }
}

}  // namespace
