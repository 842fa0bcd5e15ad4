// hx410 started as a process on a virtual port of its own, with its settings
// file in a folder of its own ($PINK_HX410_INI) and a temporary current
// folder; standard output is a pipe, so the program prints its list lines.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/text.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace pink::testing {

inline constexpr char kEnq[] = "\x05";
inline constexpr char kAck[] = "\x06";
inline const std::string kEndLine = "==   수신 끝   ====";  // UTF-8, as printed

// A generous bound for an answer that comes a tenth of a second after its cause.
inline constexpr std::uint32_t kAnswerMs = 5000;

struct Hx410 {
  static constexpr int kPort = 5;

  testkit::TempDir work;  // the current folder: the output file lands here
  testkit::TempDir conf;  // the settings file
  testkit::VirtualPort port{kPort};
  testkit::ScopedEnv ini{"PINK_HX410_INI", conf.file("hx410.ini")};
  std::unique_ptr<testkit::Process> process;

  Hx410() { conf.write("hx410.ini", std::to_string(kPort) + "\r\nout.txt\r\n"); }

  testkit::RunOptions options() const {
    testkit::RunOptions o;
    o.cwd = work.path();
    return o;
  }

  void start() {
    process = std::make_unique<testkit::Process>(testkit::program("hx410"), std::vector<std::string>{}, options());
  }

  // Sends ENQ until it is acknowledged. An ENQ that comes while the program
  // is still starting, or in the second after a transfer, is read together
  // with another one or dropped; a few seconds between tries leave no doubt
  // about which ENQ an ACK answers.
  ::testing::AssertionResult begin_transfer() {
    for (int attempt = 0; attempt < 5; ++attempt) {
      port.write(kEnq);
      const std::string got = port.read_exact(1, 3000);
      if (got == kAck) return ::testing::AssertionSuccess();
      if (!got.empty()) return ::testing::AssertionFailure() << "answered ENQ with byte " << int(got[0]);
      if (process && !process->running()) return ::testing::AssertionFailure() << "hx410 ended: " << process->err();
    }
    return ::testing::AssertionFailure() << "no ACK for ENQ";
  }

  // Sends bytes and expects exactly `acks` ACKs in answer.
  ::testing::AssertionResult send_expecting_acks(const std::string& bytes, std::size_t acks = 1) {
    port.write(bytes);
    const std::string got = port.read_exact(acks, kAnswerMs);
    if (got != std::string(acks, '\x06')) {
      return ::testing::AssertionFailure() << "answer of " << got.size() << " bytes instead of " << acks << " ACK";
    }
    return ::testing::AssertionSuccess();
  }

  // The output file's bytes.
  std::string output() const { return work.exists("out.txt") ? work.read("out.txt") : "<missing>"; }

  // Waits until the program has printed `text` on standard output.
  bool printed(const std::string& text) {
    return testkit::wait_until([&] { return process->out().find(text) != std::string::npos; }, kAnswerMs);
  }
};

inline std::string cp949(const std::string& utf8) { return text::utf8_to_cp949(utf8); }

}  // namespace pink::testing
