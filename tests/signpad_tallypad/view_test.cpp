// tallypad with a real window, as a form host gives it one: the link's
// notifications are posted to the window (and to nothing else) while one is
// attached, and are handled when the window hands them back; the points
// they bring ask the window to repaint; the picture follows the window's
// size. Without a window the notifications are the object's window work
// again, and nothing received is lost on the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "automation/view.h"
#include "platform/clock.h"
#include "signpad/link.h"
#include "signpad/tallypad_control.h"
#include "tests/signpad_tallypad/harness.h"
#include "tools/testkit/testkit.h"

namespace pink::signpad::tally {
namespace {

using automation::Value;

// The window as the control sees it: posts are queued for the test's
// thread, which plays the window's message loop.
class FakeWindow final : public automation::ViewHost {
 public:
  void invalidate() noexcept override { ++invalidated; }
  bool post(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) noexcept override {
    const std::lock_guard<std::mutex> hold(lock_);
    if (refuse) return false;
    queue_.push_back({message, wparam, lparam});
    ++posted;
    return true;
  }
  // Hands every queued message to the control; how many there were.
  int deliver(automation::View& view) {
    std::vector<Message> now;
    {
      const std::lock_guard<std::mutex> hold(lock_);
      now.swap(queue_);
    }
    for (const Message& m : now) view.message(m.message, m.wparam, m.lparam);
    return static_cast<int>(now.size());
  }
  int invalidated = 0;
  int posted = 0;
  bool refuse = false;

 private:
  struct Message {
    std::uint32_t message;
    std::uintptr_t wparam;
    std::intptr_t lparam;
  };
  std::mutex lock_;
  std::vector<Message> queue_;
};

const automation::Member& method(const automation::Object& o, std::string_view name) {
  for (const automation::Member& m : o.info().dispatch.members) {
    if (m.kind == automation::kMethod && automation::same_name(m.name, name)) return m;
  }
  throw std::logic_error("no method " + std::string(name));
}

std::int32_t call(TallypadControl& c, std::string_view name, std::vector<Value> args = {}) {
  Value result;
  c.call(method(c, name), args, result);
  return result.num;
}

struct Hosted {
  TallypadControl control;
  FakeWindow window;
  std::vector<std::string> events;
  Hosted() {
    control.set_sink([this](const automation::Member& e, std::span<const Value>) { events.emplace_back(e.name); });
  }
  bool fired(const std::string& name) const { return std::find(events.begin(), events.end(), name) != events.end(); }
  // Plays the window until `name` fired.
  bool run_window_until(const std::string& name) {
    const std::uint64_t end = clock::monotonic_ms() + 20000;
    while (!fired(name) && clock::monotonic_ms() < end) {
      if (window.deliver(control) == 0) clock::sleep_ms(2);
    }
    return fired(name);
  }
};

PadScript signing() {
  PadScript s;
  s.signature = {{10, 20}, {11, 20}, {64, 32}};
  s.point_interval_ms = 2;
  return s;
}

TEST(TallypadWindow, NotificationsGoToTheAttachedWindowAndRunWhenItHandsThemBack) {
  testing::VirtualPad pad(45, signing());
  Hosted h;
  h.control.attach(&h.window);
  h.control.resize(300, 150);
  EXPECT_GE(h.window.invalidated, 1);
  EXPECT_EQ(call(h.control, "SetPortNo", {Value::i2(45)}), 1);
  EXPECT_EQ(call(h.control, "TallySignReq", {Value::string("5000"), Value::string("x")}), 1);

  // Nothing runs as window work while the window takes the notifications.
  ASSERT_TRUE(testkit::wait_until([&] { return h.window.posted > 0; }, 20000));
  EXPECT_EQ(h.control.pump(0), 0);
  EXPECT_TRUE(h.events.empty());

  const int before = h.window.invalidated;
  ASSERT_TRUE(h.run_window_until("OnSignSendInput"));
  EXPECT_GT(h.window.invalidated, before);  // the points asked for a repaint

  // The picture is the window's size, the pad's area centred in it.
  const automation::Picture p = h.control.picture();
  ASSERT_EQ(p.width, 300);
  ASSERT_EQ(p.height, 150);
  ASSERT_EQ(p.pixels.size(), 300u * 150u);
  const auto ink = [&](int x, int y) { return p.pixels[static_cast<std::size_t>(y) * 300 + x] == 0; };
  EXPECT_TRUE(ink(22 + 21, 11 + 41));    // (10, 20) at double scale, offset (22, 11)
  EXPECT_TRUE(ink(22 + 129, 11 + 65));   // (64, 32)
  EXPECT_FALSE(ink(21, 41));             // where it would be without the offset
  EXPECT_TRUE(ink(0, 0) && ink(299, 149));  // the frame over the bounds
  h.control.attach(nullptr);
}

TEST(TallypadWindow, WithoutAWindowOrWhenPostingFailsTheWorkRunsAsWindowWorkAndNothingIsLost) {
  testing::VirtualPad pad(46, signing());
  Hosted h;
  h.window.refuse = true;  // a window whose queue is full
  h.control.attach(&h.window);
  EXPECT_EQ(call(h.control, "SetPortNo", {Value::i2(46)}), 1);
  EXPECT_EQ(call(h.control, "TallySignReq", {Value::string("5000"), Value::string("x")}), 1);
  const std::uint64_t end = clock::monotonic_ms() + 20000;
  while (!h.fired("OnSignSendInput") && clock::monotonic_ms() < end) h.control.pump(50);
  EXPECT_TRUE(h.fired("OnSignSendInput"));
  EXPECT_EQ(h.window.posted, 0);

  // Detached: the next exchange is window work from the start.
  h.control.attach(nullptr);
  EXPECT_EQ(call(h.control, "TallySignSend"), 1);
  const std::uint64_t end2 = clock::monotonic_ms() + 20000;
  while (!h.fired("OnSignSendEvent") && clock::monotonic_ms() < end2) h.control.pump(50);
  EXPECT_TRUE(h.fired("OnSignSendEvent"));
}

TEST(TallypadWindow, ThePictureFollowsTheWindowWithinBounds) {
  TallypadControl c;
  c.resize(0, -4);
  automation::Picture p = c.picture();
  EXPECT_EQ(p.width, 1);
  EXPECT_EQ(p.height, 1);
  EXPECT_EQ(p.pixels.size(), 1u);
  c.resize(100000, 64);
  p = c.picture();
  EXPECT_EQ(p.width, kMaxSnapshotSide);
  EXPECT_EQ(p.height, 64);
  EXPECT_EQ(p.pixels.size(), static_cast<std::size_t>(p.width) * 64);
}

}  // namespace
}  // namespace pink::signpad::tally
