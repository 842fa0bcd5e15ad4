// Device control on Linux through the drawer socket: opening, exchanges,
// and every way a server can break the framing or fall silent. A bad reply
// is a refusal that never writes past the caller's buffer, and the
// connection refuses everything after it.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "platform/devctl.h"
#include "tests/drawer/served_drawer.h"

namespace pink {
namespace {

using testing::ServedDrawer;
using Bytes = std::vector<std::uint8_t>;
using drawer_server::Reply;

constexpr const char* kDevice = "\\\\.\\TevDraw2kKwDev";
const Bytes kStatusIn = {0, 0, 0, 0};

Reply raw(Bytes bytes, Reply::Kind kind = Reply::Kind::Send) {
  Reply r;
  r.kind = kind;
  r.bytes = std::move(bytes);
  return r;
}

TEST(DeviceControl, DevicePathIsTheSocketInTheDrawerFolder) {
  {
    testkit::ScopedEnv dir("PINK_DRAWERDIR", "/tmp/drawers");
    EXPECT_EQ(devctl::device_path(kDevice), "/tmp/drawers/TevDraw2kKwDev");
    EXPECT_EQ(devctl::device_path("DovCBXDev"), "/tmp/drawers/DovCBXDev");
    // Names that would leave the folder, or name nothing, are no devices.
    EXPECT_EQ(devctl::device_path("\\\\.\\..\\x/../../etc/passwd"), "");
    EXPECT_EQ(devctl::device_path(".."), "");
    EXPECT_EQ(devctl::device_path("\\\\.\\"), "");
    EXPECT_EQ(devctl::device_path(""), "");
  }
  testkit::ScopedEnv unset("PINK_DRAWERDIR", std::nullopt);
  EXPECT_EQ(devctl::device_path(kDevice), "/run/pink/TevDraw2kKwDev");
}

TEST(DeviceControl, MissingOrForeignSocketIsADeviceNotInstalled) {
  testkit::TempDir dir;
  testkit::ScopedEnv env("PINK_DRAWERDIR", dir.path());
  auto r = devctl::open(kDevice);
  EXPECT_EQ(r.device, nullptr);
  EXPECT_NE(r.text.find(dir.path() + "/TevDraw2kKwDev"), std::string::npos) << r.text;
  // A plain file where the socket should be is no device either.
  dir.write("TevDraw2kKwDev", "not a socket");
  EXPECT_EQ(devctl::open(kDevice).device, nullptr);
  // Nor is a path too long for a socket address.
  testkit::ScopedEnv deep("PINK_DRAWERDIR", dir.path() + "/" + std::string(120, 'd'));
  r = devctl::open(kDevice);
  EXPECT_EQ(r.device, nullptr);
  EXPECT_NE(r.text.find("too long"), std::string::npos) << r.text;
}

TEST(DeviceControl, RepliesFillOnlyWhatCameAndRefusalsNothing) {
  ServedDrawer served(kDevice, [](const devctl::frame::Request& r) {
    if (r.code == 1) return Reply::framed(true, Bytes{0x11, 0x22});          // less than offered
    if (r.code == 2) return Reply::framed(false, Bytes{});                   // refused
    return Reply::framed(true, Bytes(r.output_size, 0x5A));                  // all it may
  });
  auto device = devctl::open(kDevice).device;
  ASSERT_NE(device, nullptr);

  std::array<std::uint8_t, 6> out;
  out.fill(0xEE);
  std::size_t returned = 99;
  ASSERT_TRUE(device->control(1, kStatusIn, std::span(out).first(4), returned));
  EXPECT_EQ(returned, 2u);
  EXPECT_EQ(Bytes(out.begin(), out.end()), (Bytes{0x11, 0x22, 0xEE, 0xEE, 0xEE, 0xEE}));

  out.fill(0xEE);
  EXPECT_FALSE(device->control(2, kStatusIn, std::span(out).first(4), returned));
  EXPECT_EQ(returned, 0u);
  EXPECT_EQ(Bytes(out.begin(), out.end()), Bytes(6, 0xEE));

  // A refusal leaves the connection usable.
  ASSERT_TRUE(device->control(3, {}, std::span(out).first(3), returned));
  EXPECT_EQ(returned, 3u);
  EXPECT_EQ(Bytes(out.begin(), out.end()), (Bytes{0x5A, 0x5A, 0x5A, 0xEE, 0xEE, 0xEE}));

  const auto seen = served.seen();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].request.input, kStatusIn);
  EXPECT_EQ(seen[0].request.output_size, 4u);
  EXPECT_EQ(seen[2].request.output_size, 3u);
}

TEST(DeviceControl, MalformedRepliesAreRefusalsAndBreakTheConnection) {
  struct Case {
    const char* what;
    Reply first;
  };
  const Case cases[] = {
      {"longer than the output size", raw({1, 0, 0, 0, 3, 0, 0, 0, 0xA1, 0xA2, 0xA3})},
      {"length beyond the size, no bytes", raw({1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F})},
      {"accepted neither 0 nor 1", raw({7, 0, 0, 0, 1, 0, 0, 0, 0x01})},
      {"garbage text", raw({'H', 'T', 'T', 'P', '/', '1', '.', '0', ' ', '2', '0', '0'})},
      {"short header, then hang up", raw({1, 0, 0}, Reply::Kind::Hangup)},
      {"short body, then hang up", raw({1, 0, 0, 0, 1, 0, 0, 0}, Reply::Kind::Hangup)},
      {"hang up without a reply", raw({}, Reply::Kind::Hangup)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int n = 0;
    ServedDrawer served(kDevice, [&](const devctl::frame::Request&) {
      return n++ == 0 ? c.first : testing::status_reply(0x01);
    });
    auto device = devctl::open(kDevice).device;
    ASSERT_NE(device, nullptr);
    std::array<std::uint8_t, 3> out{0xEE, 0xEE, 0xEE};
    std::size_t returned = 99;
    EXPECT_FALSE(device->control(0x9C407C00u, kStatusIn, std::span(out).first(1), returned));
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(Bytes(out.begin(), out.end()), Bytes(3, 0xEE));
    // The two sides no longer agree on where a reply starts: later
    // requests are refused, even though the server would answer them.
    EXPECT_FALSE(device->control(0x9C407C00u, kStatusIn, std::span(out).first(1), returned));
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(Bytes(out.begin(), out.end()), Bytes(3, 0xEE));
    // A fresh open talks again.
    auto again = devctl::open(kDevice).device;
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->control(0x9C407C00u, kStatusIn, std::span(out).first(1), returned));
    EXPECT_EQ(out[0], 0x01);
  }
}

TEST(DeviceControl, BytesNobodyAskedForBreakTheConnection) {
  ServedDrawer served(kDevice, [](const devctl::frame::Request&) {
    Bytes r = devctl::frame::encode_reply(true, Bytes{0x01});
    const Bytes extra = devctl::frame::encode_reply(true, Bytes{0x7F});
    r.insert(r.end(), extra.begin(), extra.end());  // a second reply, unasked
    return raw(r);
  });
  auto device = devctl::open(kDevice).device;
  ASSERT_NE(device, nullptr);
  std::uint8_t out[1] = {0};
  std::size_t returned = 0;
  EXPECT_TRUE(device->control(0x9C407C00u, kStatusIn, out, returned));
  EXPECT_EQ(out[0], 0x01);
  // The unasked reply must not pass for the answer to the next request.
  ASSERT_TRUE(testkit::wait_until([&] { return served.seen().size() == 1; }, 2000));
  out[0] = 0;
  EXPECT_FALSE(device->control(0x9C407C00u, kStatusIn, out, returned));
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(served.seen().size(), 1u);
}

TEST(DeviceControl, SilentServerIsRefusedWithinTheBound) {
  ServedDrawer served(kDevice, [](const devctl::frame::Request&) { return raw({}, Reply::Kind::Silent); });
  auto device = devctl::open(kDevice).device;
  ASSERT_NE(device, nullptr);
  std::uint8_t out[1] = {0};
  std::size_t returned = 0;
  double t = testing::now_ms();
  EXPECT_FALSE(device->control(0x9C407C00u, kStatusIn, out, returned));
  const double waited = testing::now_ms() - t;
  EXPECT_GE(waited, devctl::kExchangeTimeoutMs - 1.0);
  EXPECT_LT(waited, devctl::kExchangeTimeoutMs + 5000.0);
  // Refused at once from then on, without another wait.
  t = testing::now_ms();
  EXPECT_FALSE(device->control(0x9C407C00u, kStatusIn, out, returned));
  EXPECT_LT(testing::now_ms() - t, 1000.0);
  EXPECT_EQ(served.seen().size(), 1u);
}

TEST(DeviceControl, ServerThatWentAwayRefusesAndRaisesNoSignal) {
  ServedDrawer served(kDevice, [](const devctl::frame::Request&) { return testing::status_reply(0x01); });
  auto device = devctl::open(kDevice).device;
  ASSERT_NE(device, nullptr);
  std::uint8_t out[1] = {0};
  std::size_t returned = 0;
  ASSERT_TRUE(device->control(0x9C407C00u, kStatusIn, out, returned));
  served.stop();
  // Were a broken pipe raised as a signal, the test process would end here.
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(device->control(0x9C40BC04u, Bytes{0, 0, 0, 0, 0x10}, {}, returned));
  }
  EXPECT_EQ(devctl::open(kDevice).device, nullptr);
}

TEST(DeviceControl, SequenceWaitsLastAtLeastAsLongAsAsked) {
  devctl::SequenceTimer timer;
  for (const std::uint32_t ms : {1u, 5u, 10u, 30u}) {
    const double t = testing::now_ms();
    timer.wait_ms(ms);
    const double took = testing::now_ms() - t;
    EXPECT_GE(took, ms) << ms;
    EXPECT_LT(took, ms + 500.0) << ms;
  }
}

}  // namespace
}  // namespace pink
