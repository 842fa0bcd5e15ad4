// A card payment end to end on the Windows build under Wine: corvana.exe
// drives CorvanaVAN.dll over ssllib32.dll (SChannel) to the payment network
// simulator on loopback, and reports in the prefix's registry mailbox. Each
// payment is made by the Linux build as well, against the same network
// answer, and the two mailboxes must agree key for key.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/settings.h"
#include "platform/text.h"
#include "tests/e2e/payment_network.h"
#include "tests/wintest/tls_wine_mailbox.h"
#include "tests/wintest/wine_fixture.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/wine.h"

namespace pink {
namespace {

using testing::PaymentNetwork;
using testkit::Wine;

const std::vector<std::string> kKeys{"corvana_state", "corvana_text", "corvana_power", "corvana_error"};
constexpr const char* kRequest = "AB0200123456";

struct Outcome {
  std::map<std::string, std::string> keys;  // UTF-8
  std::string network_log;
};

// The Linux build: its own settings store and working folder.
Outcome pay_on_linux(const std::vector<std::string>& network, const std::string& anchor) {
  PaymentNetwork net;
  net.start(network);
  testkit::TempStore store;
  testkit::TempDir work;
  settings::put("pink", "floyd", "corvana_state", "start");
  settings::put("pink", "floyd", "corvana_text", kRequest);
  testkit::RunOptions o;
  o.cwd = work.path();
  o.timeout_ms = 60000;
  o.env["PINK_TLS_CAFILE"] = net.pki.file(anchor);
  const auto r = testkit::run(testkit::program("corvana"), {"C/127.0.0.1/" + std::to_string(net.port)}, o);
  EXPECT_FALSE(r.timed_out) << r.err;
  Outcome out;
  for (const auto& k : kKeys) out.keys[k] = text::cp949_to_utf8(settings::get("pink", "floyd", k));
  out.network_log = net.log();
  return out;
}

// The Windows build under Wine, with the registry of the prefix as mailbox.
Outcome pay_on_windows(const std::vector<std::string>& network, const std::string& anchor) {
  PaymentNetwork net;
  net.start(network);
  Wine& wine = Wine::shared();
  // The prefix's mailbox is shared with every Windows program test running
  // beside this one: hold it from the first key written to the last read.
  wintest::PrefixLock lock;
  testing::WineMailbox mailbox(wine);
  mailbox.set("floyd", {{"corvana_state", "start"}, {"corvana_text", kRequest}, {"corvana_power", "stale"},
                        {"corvana_error", "stale"}});
  testkit::TempDir work;
  testkit::RunOptions o;
  o.cwd = work.path();
  o.timeout_ms = 90000;
  o.env["PINK_TLS_CAFILE"] = Wine::windows_path(net.pki.file(anchor));
  o.env["PINK_TLS_PEERNAME"] = "";
  const auto r = wine.run(wine.program("corvana.exe"), {"C/127.0.0.1/" + std::to_string(net.port)}, o);
  EXPECT_FALSE(r.timed_out) << r.err;
  Outcome out;
  const auto all = mailbox.get("floyd");
  for (const auto& k : kKeys) out.keys[k] = all.count(k) ? all.at(k) : "<absent>";
  out.network_log = net.log();
  return out;
}

TEST(WinCorvana, PaymentsOnWindowsEndInTheMailboxAsOnLinux) {
  std::string why;
  ASSERT_TRUE(Wine::available(&why)) << why;
  const struct {
    const char* what;
    std::vector<std::string> network;
    std::string anchor;
    std::string error;  // the error both builds must report
  } payments[] = {
      {"an approval", {}, "ca.pem", ""},
      {"a refusal", {"--refusal"}, "ca.pem", ""},
      {"a lost response (a NAK byte)", {"--nak-byte-as-response"}, "ca.pem", "전문 해석 망 데이타 손실 오류"},
      {"an untrusted network", {}, "other-ca.pem", "Connect SSL 오류"},
  };
  for (const auto& p : payments) {
    const Outcome linux_side = pay_on_linux(p.network, p.anchor);
    const Outcome windows_side = pay_on_windows(p.network, p.anchor);
    EXPECT_EQ(windows_side.keys, linux_side.keys) << p.what << "\nWine's network log:\n" << windows_side.network_log;
    EXPECT_EQ(windows_side.keys.at("corvana_state"), "End") << p.what;
    EXPECT_EQ(windows_side.keys.at("corvana_error"), p.error) << p.what;
    if (p.error.empty()) {
      EXPECT_EQ(windows_side.keys.at("corvana_text").substr(0, 6), "PAYSIM") << p.what;
      EXPECT_FALSE(windows_side.keys.at("corvana_power").empty()) << p.what;
      EXPECT_NE(windows_side.network_log.find("<- <ACK>"), std::string::npos) << p.what;
    }
    const bool talked = windows_side.network_log.find("<- request") != std::string::npos;
    EXPECT_EQ(talked, p.anchor == "ca.pem") << p.what << "\n" << windows_side.network_log;
  }
}

}  // namespace
}  // namespace pink
