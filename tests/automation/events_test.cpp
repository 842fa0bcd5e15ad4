// Events and the window's work through the probe object: events fire only
// inside pink_invoke or pink_pump on the caller's thread; work handed over
// by another thread, timers and deferred events run in pink_pump; the
// descriptor polls readable exactly while there is work.
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/automation/probe.h"
#include "tests/automation/values.h"

namespace pink::automation::testing {
namespace {

struct Seen {
  std::int32_t dispid;
  std::string name;
  std::vector<pink_value> args;  // strings and arrays copied below
  std::vector<std::string> texts;
  std::vector<std::vector<std::uint8_t>> arrays;
  std::thread::id thread;
};

struct Recorder {
  std::vector<Seen> seen;
  static void on_event(void* ctx, std::int32_t dispid, const char* name, const pink_value* args,
                       std::int32_t nargs) {
    Seen s{dispid, name, {}, {}, {}, std::this_thread::get_id()};
    for (std::int32_t i = 0; i < nargs; ++i) {
      s.args.push_back(args[i]);
      s.texts.push_back(args[i].type == PINK_STR ? args[i].str : "");
      s.arrays.push_back(args[i].type == PINK_BYTES ? bytes_of(args[i]) : std::vector<std::uint8_t>{});
    }
    static_cast<Recorder*>(ctx)->seen.push_back(std::move(s));
  }
};

bool readable(pink_object* o, int timeout_ms) {
  pollfd p{pink_fd(o), POLLIN, 0};
  return ::poll(&p, 1, timeout_ms) == 1 && (p.revents & POLLIN) != 0;
}

std::int32_t call(Obj& o, const char* member, std::vector<pink_value> args) {
  return o.call(member, args, nullptr);
}

TEST(AutomationEvents, FireInsideInvokeOnTheCallersThreadWithUtf8Arguments) {
  Obj o("pinktest.Probe");
  Recorder rec;
  ASSERT_EQ(call(o, "Fire", {i2(1)}), PINK_OK);  // no callback yet: nothing to deliver to
  pink_advise(o.get(), &Recorder::on_event, &rec);
  std::vector<pink_value> name = {str("계산대")};
  ASSERT_EQ(o.call("Name", name, nullptr, PINK_PUT), PINK_OK);
  ASSERT_EQ(call(o, "Fire", {i2(2)}), PINK_OK);
  ASSERT_EQ(rec.seen.size(), 2u);
  for (int n = 0; n < 2; ++n) {
    const Seen& s = rec.seen[n];
    EXPECT_EQ(s.dispid, kOnTick);
    EXPECT_EQ(s.name, "OnTick");
    ASSERT_EQ(s.args.size(), 2u);
    EXPECT_EQ(s.args[0].type, PINK_I4);
    EXPECT_EQ(s.args[0].num, n + 1);
    EXPECT_EQ(s.args[0].byref, 0);
    EXPECT_EQ(s.texts[1], "계산대");
    EXPECT_EQ(s.thread, std::this_thread::get_id());
  }
  pink_advise(o.get(), nullptr, nullptr);
  ASSERT_EQ(call(o, "Fire", {i2(3)}), PINK_OK);
  EXPECT_EQ(rec.seen.size(), 2u);
}

TEST(AutomationEvents, EventsFiredOnAnotherThreadWaitForThePumpOnTheCallersThread) {
  Obj o("pinktest.Probe");
  Recorder rec;
  pink_advise(o.get(), &Recorder::on_event, &rec);
  EXPECT_FALSE(readable(o.get(), 0));
  ASSERT_EQ(call(o, "FireFromThread", {i2(3)}), PINK_OK);  // the thread has ended
  EXPECT_TRUE(rec.seen.empty()) << "fired outside the caller's thread during the invoke";
  EXPECT_TRUE(readable(o.get(), 5000));
  EXPECT_TRUE(rec.seen.empty()) << "fired outside invoke and pump";
  EXPECT_EQ(pink_pump(o.get(), 0), 3);
  ASSERT_EQ(rec.seen.size(), 3u);
  for (int n = 0; n < 3; ++n) {
    EXPECT_EQ(rec.seen[n].args[0].num, n + 1);  // in the order fired
    EXPECT_EQ(rec.seen[n].texts[1], "thread");
    EXPECT_EQ(rec.seen[n].thread, std::this_thread::get_id());
  }
  EXPECT_FALSE(readable(o.get(), 0));
  EXPECT_EQ(pink_pump(o.get(), 0), 0);
}

TEST(AutomationEvents, DeferredEventsAndReceivedDataRunInTheNextPump) {
  Obj o("pinktest.Probe");
  Recorder rec;
  pink_advise(o.get(), &Recorder::on_event, &rec);
  ASSERT_EQ(call(o, "Defer", {str("나중에")}), PINK_OK);
  const std::vector<std::uint8_t> data = {0x02, 0x00, 0xFF};
  ASSERT_EQ(call(o, "Receive", {bytes(data)}), PINK_OK);
  ASSERT_EQ(call(o, "Receive", {pink_value{PINK_BYTES, 0, nullptr, nullptr, 0, 0}}), PINK_OK);
  EXPECT_TRUE(rec.seen.empty());
  EXPECT_TRUE(readable(o.get(), 5000));
  EXPECT_EQ(pink_pump(o.get(), -5), 3);  // a negative time-out does not wait, work runs
  ASSERT_EQ(rec.seen.size(), 3u);
  EXPECT_EQ(rec.seen[0].name, "OnDeferred");
  EXPECT_EQ(rec.seen[0].texts[0], "나중에");
  EXPECT_EQ(rec.seen[1].dispid, kOnData);
  EXPECT_EQ(rec.seen[1].arrays[0], data);
  EXPECT_EQ(rec.seen[2].args[0].len, 0);
  EXPECT_NE(rec.seen[2].args[0].bytes, nullptr);
  EXPECT_FALSE(readable(o.get(), 0));
}

TEST(AutomationPump, TimerTicksMakeTheDescriptorReadableAndPumpWaitsForThem) {
  Obj o("pinktest.Probe");
  Recorder rec;
  pink_advise(o.get(), &Recorder::on_event, &rec);
  EXPECT_EQ(pink_pump(o.get(), 0), 0);
  ASSERT_EQ(call(o, "StartTimer", {i4(20)}), PINK_OK);
  EXPECT_TRUE(rec.seen.empty());
  EXPECT_TRUE(readable(o.get(), 5000));
  EXPECT_EQ(pink_pump(o.get(), 0), 1);  // late ticks run once, as window timers do
  ASSERT_EQ(rec.seen.size(), 1u);
  EXPECT_EQ(rec.seen[0].name, "OnTimer");
  EXPECT_EQ(rec.seen[0].args[0].num, 1);
  // pump waits for the next tick rather than returning empty-handed.
  EXPECT_EQ(pink_pump(o.get(), 10000), 1);
  ASSERT_EQ(rec.seen.size(), 2u);
  EXPECT_EQ(rec.seen[1].args[0].num, 2);

  ASSERT_EQ(call(o, "StopTimer", {}), PINK_OK);
  EXPECT_FALSE(readable(o.get(), 100));
  EXPECT_EQ(pink_pump(o.get(), 50), 0);
  EXPECT_EQ(rec.seen.size(), 2u);
}

TEST(AutomationPump, PumpWaitsForDataHandedOverWhileItWaits) {
  Obj o("pinktest.Probe");
  Recorder rec;
  pink_advise(o.get(), &Recorder::on_event, &rec);
  const std::vector<std::uint8_t> data = {0x41, 0x42};
  ASSERT_EQ(call(o, "ReceiveLater", {bytes(data), i4(50)}), PINK_OK);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(pink_pump(o.get(), 20000), 1);
  // It returned with the data, not at the end of its time-out.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
  ASSERT_EQ(rec.seen.size(), 1u);
  EXPECT_EQ(rec.seen[0].arrays[0], data);
  EXPECT_EQ(rec.seen[0].thread, std::this_thread::get_id());
}

TEST(AutomationEvents, ACallbackMayCallTheObjectAgainAndReleaseIt) {
  pink_object* o = pink_create("pinktest.Probe");
  ASSERT_NE(o, nullptr);
  struct Ctx {
    pink_object* o;
    std::vector<std::string> echoed;
  } ctx{o, {}};
  pink_advise(
      o,
      [](void* c, std::int32_t, const char*, const pink_value* args, std::int32_t) {
        auto* x = static_cast<Ctx*>(c);
        std::vector<pink_value> echo = {str("again")};
        pink_value r{};
        if (pink_invoke(x->o, kEcho, PINK_METHOD, echo.data(), 1, &r) == PINK_OK) x->echoed.push_back(r.str);
        if (args[0].num == 2) pink_release(x->o);  // goes when the outer call returns
      },
      &ctx);
  std::vector<pink_value> fire = {i2(2)};
  pink_value r{};
  EXPECT_EQ(pink_invoke(o, kFire, PINK_METHOD, fire.data(), 1, &r), PINK_OK);
  EXPECT_EQ(ctx.echoed, (std::vector<std::string>{"again", "again"}));
  // The object is gone now; the sanitizer reports a leak if it is not, and a
  // use after free if it went too early.
}

TEST(AutomationEvents, AReleaseInsideThePumpWaitsForThePumpToEnd) {
  pink_object* o = pink_create("pinktest.Probe");
  ASSERT_NE(o, nullptr);
  int calls = 0;
  struct Ctx {
    pink_object* o;
    int* calls;
  } ctx{o, &calls};
  pink_advise(
      o,
      [](void* c, std::int32_t, const char*, const pink_value*, std::int32_t) {
        auto* x = static_cast<Ctx*>(c);
        ++*x->calls;
        pink_release(x->o);
        pink_release(x->o);  // twice inside a call is still one release
      },
      &ctx);
  std::vector<pink_value> defer = {str("x")};
  ASSERT_EQ(pink_invoke(o, kDefer, PINK_METHOD, defer.data(), 1, nullptr), PINK_OK);
  ASSERT_EQ(pink_invoke(o, kDefer, PINK_METHOD, defer.data(), 1, nullptr), PINK_OK);
  EXPECT_EQ(pink_pump(o, 0), 2);  // both deferred events run; the object then goes
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace pink::automation::testing
