// The pds program itself: the mailbox keys in a store of its own, the display
// on a virtual port, the bytes that arrive checked byte for byte, and what the
// program writes (or does not write) back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/serial.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "tests/display/dialect_streams.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace pink {
namespace {

constexpr int kPort = 3;

struct PdsRun {
  testkit::TempStore store;
  testkit::TempDir work;
  testkit::ScopedEnv trace{"PINK_MAILBOX_TRACE", work.file("trace.txt")};
  testkit::VirtualPort port{kPort};

  // Keys and values in UTF-8 here; cp949 in the store.
  void set(const std::string& key, const std::string& value) const {
    settings::put("pink", "floyd", key, text::utf8_to_cp949(value));
  }
  std::string get(const std::string& key) const {
    return text::cp949_to_utf8(settings::get("pink", "floyd", key));
  }
  void job(const std::string& type, const std::string& line1, const std::string& line2,
           const std::string& line3, const std::string& port_text = std::to_string(kPort)) const {
    set("pds_hw", type);
    set("pds_port", port_text);
    set("pds_1", line1);
    set("pds_2", line2);
    set("pds_3", line3);
  }
  testkit::RunResult run(const std::vector<std::string>& args = {}) const {
    testkit::RunOptions o;
    o.cwd = work.path();
    return testkit::run(testkit::program("pds"), args, o);
  }
  // What reached the display: everything the program wrote before it ended.
  std::string sent() { return port.read_available(200); }
  // Every mailbox write of the run ("section<TAB>key<TAB>value" lines).
  std::string mailbox_writes() const { return work.exists("trace.txt") ? work.read("trace.txt") : ""; }
};

std::string cp949(const char* utf8) { return text::utf8_to_cp949(utf8); }

TEST(Pds, EveryTypeSendsItsDialectByteForByteAndWritesNothingBack) {
  for (const auto& expected : testing::dialect_streams()) {
    PdsRun p;
    p.job(expected.type, testing::kSampleTexts.line1, testing::kSampleTexts.line2, testing::kSampleTexts.line3);
    const auto r = p.run();
    EXPECT_EQ(r.exit_code, 0) << "type " << expected.type << ": " << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(p.sent(), expected.bytes()) << "type " << expected.type;
    EXPECT_EQ(p.mailbox_writes(), "") << "type " << expected.type;
    EXPECT_EQ(p.get("pds_error"), "");
  }
}

TEST(Pds, PaddingCountsCp949BytesForTypeFourAndCharactersForTypeH) {
  const std::string label = cp949("합계금");  // three Korean characters, six bytes
  PdsRun four;
  four.job("4", "합계금", "", "500");
  ASSERT_EQ(four.run().exit_code, 0);
  EXPECT_EQ(four.sent(), "\x1b\x40\x0b" + label + std::string(14, ' ') + std::string(17, ' ') + "500");

  PdsRun h;
  h.job("H", "합계금", "", "500");
  ASSERT_EQ(h.run().exit_code, 0);
  EXPECT_EQ(h.sent(), "\x1f\x11" + label + std::string(17, ' ') + "500");
}

TEST(Pds, ALabelLongerThanItsFieldIsSentWholeAndTheAmountFollowsIt) {
  PdsRun p;
  const std::string label = "ABCDEFGHIJKLMNOPQRSTUVWXY";  // 25 bytes
  p.job("4", label, "", "12,000");
  ASSERT_EQ(p.run().exit_code, 0);
  const std::string sent = p.sent();
  const std::string write = sent.substr(3);
  EXPECT_EQ(write.substr(0, 25), label);
  EXPECT_EQ(write.substr(25), std::string(14, ' ') + "12,000");  // from byte 26 on
  // An amount longer than 20 bytes is not cut either.
  PdsRun q;
  q.job("4", "T", "", std::string(24, '9'));
  ASSERT_EQ(q.run().exit_code, 0);
  EXPECT_EQ(q.sent(), "\x1b\x40\x0bT" + std::string(19, ' ') + std::string(24, '9'));
}

TEST(Pds, ATypeOutsideTheTableEndsSilentlyWithoutTouchingThePort) {
  for (const char* type : {"l", "", "44", "c", "i"}) {
    PdsRun p;
    // An empty port would be a Type mismatch if the program got as far as the port.
    p.job(type, "TOTAL", "", "12,000", "");
    const auto r = p.run();
    EXPECT_EQ(r.exit_code, 0) << '"' << type << "\": " << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(p.sent(), "");
    EXPECT_EQ(p.mailbox_writes(), "");
  }
}

TEST(Pds, TypeLRunsTheLineWithOddParityTheOthers9600NoneOne) {
  PdsRun l;
  l.job("L", "TOTAL", "", "12,000");
  ASSERT_EQ(l.run().exit_code, 0);
  EXPECT_EQ(l.sent(), "\x1b[2J\x1b[1;1HTOTAL\x1b[2;1H12,000");
  testkit::LineView v = l.port.line();
  EXPECT_EQ(v.baud, 9600u);
  EXPECT_TRUE(v.odd);
  EXPECT_FALSE(v.stick);
  EXPECT_FALSE(v.two_stop_bits);

  PdsRun four;
  four.job("4", "TOTAL", "", "12,000");
  ASSERT_EQ(four.run().exit_code, 0);
  v = four.port.line();
  EXPECT_EQ(v.baud, 9600u);
  EXPECT_FALSE(v.odd);
  EXPECT_FALSE(v.stick);
  EXPECT_FALSE(v.two_stop_bits);
  EXPECT_FALSE(v.xon_out);  // the serial control runs without flow control
  EXPECT_FALSE(v.rts_cts);
}

TEST(Pds, RunTimeFailuresPutTheRunTimesDescriptionInPdsError) {
  struct Case {
    std::string port;
    std::string error;
  };
  for (const Case& c : std::vector<Case>{{"", "Type mismatch"},
                                         {"COM3", "Type mismatch"},
                                         {"3a", "Type mismatch"},
                                         {"0", "Invalid port number"},
                                         {"99999", "Overflow"},
                                         {"9", "Invalid port number"}}) {
    PdsRun p;
    testkit::ScopedEnv missing("PINK_COM9", "/nonexistent/tty");
    p.job("4", "TOTAL", "", "12,000", c.port);
    const auto r = p.run();
    EXPECT_EQ(r.exit_code, 1) << '"' << c.port << '"';
    EXPECT_EQ(p.get("pds_error"), c.error) << '"' << c.port << '"';
    EXPECT_EQ(p.mailbox_writes(), "floyd\tpds_error\t" + c.error + "\n");
    EXPECT_NE(r.err.find("pds: "), std::string::npos);
    EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    EXPECT_EQ(p.sent(), "");
  }
}

TEST(Pds, APortHeldElsewhereIsPortAlreadyOpenAndAnOldErrorIsNeverCleared) {
  PdsRun p;
  p.job("4", "TOTAL", "", "12,000");
  {
    auto holder = serial::open("COM" + std::to_string(kPort));
    ASSERT_EQ(holder.status, serial::OpenStatus::Ok);
    const auto r = p.run();
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(p.get("pds_error"), "Port already open");
    EXPECT_NE(r.err.find("opening COM3"), std::string::npos) << r.err;
  }
  EXPECT_EQ(p.sent(), "");
  // Free again, the display is shown; the earlier error stays for the POS to clear.
  const auto r = p.run();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(p.sent().size(), 43u);
  EXPECT_EQ(p.get("pds_error"), "Port already open");
}

TEST(Pds, AMailboxThatCannotBeUsedEndsWithStatusTwo) {
  PdsRun p;
  p.job("4", "TOTAL", "", "12,000");
  testkit::ScopedEnv gone("PINK_SETTINGS", p.work.file("no/such/folder/settings.db"));
  const auto r = p.run();
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("reading the mailbox"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("pds_error"), std::string::npos) << r.err;
  EXPECT_EQ(p.sent(), "");
}

TEST(Pds, HelpTellsTheKeysTypesAndStatusesAndTouchesNothing) {
  PdsRun p;
  p.job("4", "TOTAL", "", "12,000");
  auto r = p.run({"--help"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out.rfind("usage: pds", 0), 0u) << r.out;
  for (const char* key : {"pds_hw", "pds_port", "pds_1", "pds_2", "pds_3", "pds_error"}) {
    EXPECT_NE(r.out.find(key), std::string::npos) << key;
  }
  for (const char* code : {"1", "4", "5", "6", "7", "8", "9", "C", "G", "H", "I", "K", "L"}) {
    EXPECT_NE(r.out.find(std::string("\n  ") + code + "  "), std::string::npos) << code;
  }
  EXPECT_NE(r.out.find("Exit status"), std::string::npos);
  EXPECT_EQ(p.sent(), "");
  EXPECT_EQ(p.mailbox_writes(), "");

  // Any other argument is ignored: the job is shown.
  r = p.run({"--verbose", "x"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(p.sent().size(), 43u);
}

}  // namespace
}  // namespace pink
