// The virtual drawer's model: what opens it, what closes it, and which
// requests a drawer driver refuses.
#include <gtest/gtest.h>

#include <vector>

#include "pink/drawer.h"
#include "tools/vdrawer/model.h"

namespace pink::vdrawer {
namespace {

using devctl::frame::Request;
using Bytes = std::vector<std::uint8_t>;

const Bytes kDrive = {0, 0, 0, 0, 0x10};
constexpr std::uint32_t kOn = 0x9C40BC08u, kOff = 0x9C40BC04u, kStatus = 0x9C407C00u;

Request drive(std::uint32_t code, Bytes input = kDrive) { return {code, std::move(input), 0}; }
Request status_request() { return {kStatus, {0, 0, 0, 0}, 1}; }

std::uint8_t status_at(DrawerModel& m, double t) {
  const Outcome o = m.handle(status_request(), t);
  EXPECT_TRUE(o.accepted);
  return o.output.empty() ? 0xEE : o.output[0];
}

TEST(VirtualDrawer, OpensOnlyAfterTheReleaseHeld25Ms) {
  DrawerModel m(ModelOptions{&drawer::kDrawerio});
  // Energised 24 ms, then released: the latch holds.
  EXPECT_TRUE(m.handle(drive(kOn), 100.0).accepted);
  EXPECT_EQ(status_at(m, 110.0), PINK_DRAWER_STATUS_RELEASE);
  EXPECT_TRUE(m.handle(drive(kOff), 124.0).accepted);
  EXPECT_EQ(status_at(m, 200.0), 0);
  EXPECT_FALSE(m.is_open());
  // A second release-on restarts the time; a repeated one does not.
  m.handle(drive(kOn), 300.0);
  m.handle(drive(kOn), 320.0);
  EXPECT_EQ(m.next_deadline(), 325.0);
  m.advance(324.9);
  EXPECT_FALSE(m.is_open());
  m.advance(325.0);
  EXPECT_TRUE(m.is_open());
  m.handle(drive(kOff), 330.0);
  EXPECT_EQ(status_at(m, 331.0), PINK_DRAWER_STATUS_OPEN);
  const auto events = m.take_events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].what, "drawer open by=release");
  EXPECT_DOUBLE_EQ(events[0].t_ms, 325.0);
}

TEST(VirtualDrawer, ClosesByCommandAndAfterItsTime) {
  ModelOptions o{&drawer::kCashbox};
  o.close_after_ms = 500.0;
  DrawerModel m(o);
  m.open(1000.0, "command");
  EXPECT_EQ(m.next_deadline(), 1500.0);
  m.advance(1499.0);
  EXPECT_TRUE(m.is_open());
  m.advance(1600.0);
  EXPECT_FALSE(m.is_open());
  m.open(2000.0, "command");
  m.close(2100.0, "command");
  EXPECT_FALSE(m.is_open());
  EXPECT_EQ(m.next_deadline(), std::nullopt);
  const auto events = m.take_events();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[1].what, "drawer closed by=timer");
  EXPECT_DOUBLE_EQ(events[1].t_ms, 1500.0);  // when it closed, not when it was noticed
  EXPECT_EQ(events[3].what, "drawer closed by=command");
  EXPECT_TRUE(m.take_events().empty());
}

TEST(VirtualDrawer, ClosedWhileStillEnergisedReopensOnlyAfterAnotherFullHold) {
  DrawerModel m(ModelOptions{&drawer::kDrawerio});
  m.handle(drive(kOn), 0.0);
  m.advance(30.0);
  EXPECT_TRUE(m.is_open());
  m.close(40.0, "command");
  m.advance(64.0);
  EXPECT_FALSE(m.is_open());
  m.advance(65.0);
  EXPECT_TRUE(m.is_open());
}

TEST(VirtualDrawer, RefusesWhatItsDriverWouldRefuse) {
  ModelOptions o{&drawer::kDrawerio};
  o.refused = {kOff};
  DrawerModel m(o);
  struct Case {
    Request request;
    const char* role;
    const char* why;
  };
  const Case cases[] = {
      {drive(0x12345678u), "unknown", "unknown-code"},
      {drive(0xA028B808u, {0, 0, 0, 0, 0x04}), "release-on", "other-family"},
      {drive(kOff), "release-off", "refused-by-option"},
      {drive(kOn, {0, 0, 0, 0, 0x04}), "release-on", "bad-input"},
      {drive(kOn, {0, 0, 0, 0}), "release-on", "bad-input"},
      {{kStatus, {0, 0, 0, 1}, 1}, "status", "bad-input"},
      {{kStatus, {0, 0, 0, 0}, 0}, "status", "no-room"},
  };
  for (const Case& c : cases) {
    const Outcome out = m.handle(c.request, 0.0);
    EXPECT_FALSE(out.accepted) << c.why;
    EXPECT_EQ(out.role, c.role);
    EXPECT_EQ(out.why, c.why);
    EXPECT_TRUE(out.output.empty());
  }
  // None of them touched the release.
  EXPECT_FALSE(m.energised());
  // A server for any family takes both families' codes.
  DrawerModel any(ModelOptions{});
  EXPECT_TRUE(any.handle(drive(0xA028B808u, {0, 0, 0, 0, 0x04}), 0.0).accepted);
  EXPECT_TRUE(any.handle(drive(kOn), 0.0).accepted);
}

TEST(VirtualDrawer, LogLinesCarryEverythingOfTheRequest) {
  const Request r{0x9C407C00u, {0x00, 0x00, 0xAB, 0x00}, 1};
  Outcome accepted{true, {0x81}, "status", ""};
  EXPECT_EQ(request_line(1234.5678, r, accepted),
            "1234.568 request code=0x9C407C00 role=status in=0000AB00 out=1 accepted status=0x81");
  Outcome refused{false, {}, "unknown", "unknown-code"};
  EXPECT_EQ(request_line(0.0, {0xA028B810u, {}, 0}, refused),
            "0.000 request code=0xA028B810 role=unknown in= out=0 refused why=unknown-code");
}

}  // namespace
}  // namespace pink::vdrawer
