// Clock and sleeping.
#include "platform/clock.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace pink {
namespace {

TEST(Clock, DateTimeTextIsZeroPadded) {
  clock::LocalTime t{.year = 2012, .month = 3, .day = 7, .hour = 4, .minute = 5, .second = 9};
  EXPECT_EQ(clock::format_datetime(t), "2012-03-07 04:05:09");
  t = {.year = 2012, .month = 12, .day = 31, .hour = 23, .minute = 59, .second = 59};
  EXPECT_EQ(clock::format_datetime(t), "2012-12-31 23:59:59");
}

TEST(Clock, LocalTimeAndSecondsSinceMidnightAgree) {
  const clock::LocalTime t = clock::now_local();
  EXPECT_GE(t.year, 2020);
  EXPECT_GE(t.month, 1);
  EXPECT_LE(t.month, 12);
  EXPECT_GE(t.day, 1);
  EXPECT_LE(t.day, 31);
  EXPECT_LE(t.hour, 23);
  EXPECT_LE(t.second, 59);
  EXPECT_LE(t.millisecond, 999);
  const double s = clock::seconds_since_midnight();
  EXPECT_GE(s, 0.0);
  EXPECT_LT(s, 86400.0);
  // Unless midnight passed in between, the two readings are close.
  const double from_fields = t.hour * 3600.0 + t.minute * 60.0 + t.second;
  if (s >= from_fields) {
    EXPECT_LT(s - from_fields, 60.0);
  }
}

void on_usr1(int) {}

// Signals arriving during a sleep cut the OS call short; the sleep lasts
// its full time all the same.
TEST(Clock, SleepLastsItsTimeThroughSignals) {
  struct sigaction sa{};
  sa.sa_handler = on_usr1;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no restart: the sleep sees EINTR
  ASSERT_EQ(::sigaction(SIGUSR1, &sa, nullptr), 0);

  const pthread_t sleeper = pthread_self();
  std::atomic<bool> done{false};
  std::thread interrupter([&] {
    for (int i = 0; i < 10 && !done; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(15));
      if (!done) pthread_kill(sleeper, SIGUSR1);
    }
  });
  const std::uint64_t start = clock::monotonic_ms();
  clock::sleep_ms(300);
  const std::uint64_t slept = clock::monotonic_ms() - start;
  done = true;
  interrupter.join();
  EXPECT_GE(slept, 300u);

  // Monotonic time never goes back.
  std::uint64_t last = clock::monotonic_ms();
  for (int i = 0; i < 1000; ++i) {
    const std::uint64_t now = clock::monotonic_ms();
    ASSERT_GE(now, last);
    last = now;
  }
}

}  // namespace
}  // namespace pink
