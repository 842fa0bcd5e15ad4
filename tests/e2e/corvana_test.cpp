// A card payment end to end: the bridge `corvana` drives the real CorvanaVAN
// library over the TLS adapter to the payment network simulator `paysim`,
// and the mailbox holds the result afterwards.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/e2e/payment_network.h"
#include "tests/kitchen/kitchen_fixture.h"

namespace pink {
namespace {

using testing::KitchenRun;
using testing::PaymentNetwork;

// CRC-16/ARC, written out plainly: reflected polynomial 0xA001, initial 0.
std::string crc16_arc(const std::string& s) {
  std::uint16_t crc = 0;
  for (unsigned char c : s) {
    crc ^= c;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
  }
  char out[5];
  std::snprintf(out, sizeof out, "%04X", crc);
  return out;
}

// The bitmap text of a set of field numbers (bit 1 is the top bit).
std::string bitmap(std::initializer_list<int> fields) {
  std::uint64_t bits = 0;
  for (int f : fields) bits |= std::uint64_t{1} << (64 - f);
  char out[17];
  std::snprintf(out, sizeof out, "%016llX", static_cast<unsigned long long>(bits));
  return out;
}

struct Payment : KitchenRun {
  PaymentNetwork net;
  testkit::TempDir& pki = net.pki;
  std::uint16_t& port = net.port;

  void start_network(std::vector<std::string> options) { net.start(std::move(options)); }

  testkit::RunResult pay(const std::string& request, const std::string& job = "C") {
    set("floyd", "corvana_state", "start");
    set("floyd", "corvana_text", request);
    testkit::RunOptions o;
    o.cwd = work.path();
    o.timeout_ms = 60000;
    return testkit::run(testkit::program("corvana"), {job + "/127.0.0.1/" + std::to_string(port)}, o);
  }

  std::string network_log() { return net.log(); }
};

TEST(PaymentEndToEnd, ApprovalComesBackWithItsNormalisedFields) {
  Payment p;
  // A "CS" approval: fields 3, 4, 39 and 63 present.
  const std::string data = "110000" "000000004500" "00" "005HELLO";
  const std::string response = "PAYSIM000001" "0910" + bitmap({3, 4, 39, 63}) + data;
  p.start_network({"--response", response});
  const std::string request = "AB0200123456";
  auto res = p.pay(request);
  EXPECT_EQ(res.exit_code, 0) << res.err;
  EXPECT_EQ(p.get("floyd", "corvana_error"), "");
  EXPECT_EQ(p.get("floyd", "corvana_state"), "End");
  EXPECT_EQ(p.get("floyd", "corvana_text"), response);
  const std::string power = "110000" "000000004500" "000000000000" "0000000000" "00000000"
                            "00000000" "000000" "0000" "0000" "0" "00" "000"
                            "000000000000000" + std::string(40, '0') + "000" "000" "000"
                            "005HELLO";
  EXPECT_EQ(p.get("floyd", "corvana_power"), power);
  EXPECT_EQ(p.writes_of("corvana_state"), (std::vector<std::string>{"", "End"}));

  const std::string log = p.network_log();
  EXPECT_NE(log.find("<- request (19 bytes): " + request + "004" + crc16_arc("0200123456")),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("<- <ACK>"), std::string::npos) << log;
}

TEST(PaymentEndToEnd, RefusalIsAnOrdinaryResult) {
  Payment p;
  p.start_network({"--refusal"});
  auto res = p.pay("AB0200999999");
  EXPECT_EQ(res.exit_code, 0) << res.err;
  EXPECT_EQ(p.get("floyd", "corvana_error"), "");
  EXPECT_EQ(p.get("floyd", "corvana_text").substr(12, 4), "9910");
  EXPECT_FALSE(p.get("floyd", "corvana_power").empty());
}

TEST(PaymentEndToEnd, NakFromTheNetworkIsLostDataAndEmIsSent) {
  Payment p;
  p.start_network({"--nak"});
  auto res = p.pay("AB0200123456");
  EXPECT_EQ(res.exit_code, 1);
  EXPECT_EQ(p.get("floyd", "corvana_error"), "전문 해석 망 데이타 손실 오류");
  EXPECT_EQ(p.get("floyd", "corvana_text"), "");
  EXPECT_EQ(p.get("floyd", "corvana_power"), "");
  EXPECT_EQ(p.get("floyd", "corvana_state"), "End");
  EXPECT_NE(p.network_log().find("<EM>"), std::string::npos);
}

TEST(PaymentEndToEnd, AnUntrustedNetworkIsNeverTalkedTo) {
  Payment p;
  testkit::ScopedEnv wrong_ca("PINK_TLS_CAFILE", p.pki.file("other-ca.pem"));
  p.start_network({});
  auto res = p.pay("AB0200123456");
  EXPECT_EQ(res.exit_code, 1);
  EXPECT_EQ(p.get("floyd", "corvana_error"), "Connect SSL 오류");
  EXPECT_EQ(p.network_log().find("<- request"), std::string::npos);
}

TEST(PaymentEndToEnd, NoNetworkAndTheStartAndStopJobs) {
  Payment p;
  p.port = testing::free_port();
  auto res = p.pay("AB0200123456");
  EXPECT_EQ(res.exit_code, 1);
  EXPECT_EQ(p.get("floyd", "corvana_error"), "Connect Socket 오류");

  auto start = p.pay("", "S");
  EXPECT_EQ(start.exit_code, 0) << start.err;
  EXPECT_EQ(p.get("floyd", "corvana_state"), "End");
  EXPECT_EQ(p.get("floyd", "corvana_error"), "");
  EXPECT_NE(p.work.read("corvana.ini").find("PORT=1"), std::string::npos);
  EXPECT_EQ(p.pay("", "E").exit_code, 0);
  EXPECT_EQ(p.get("floyd", "corvana_state"), "End");
}

}  // namespace
}  // namespace pink
