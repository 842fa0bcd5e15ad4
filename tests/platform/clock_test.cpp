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

TEST(Clock, DateTimeTextIsZeroPaddedAndLocalTimeAgreesWithSecondsSinceMidnight) {
  EXPECT_EQ(clock::format_datetime({.year = 2012, .month = 3, .day = 7, .hour = 4, .minute = 5, .second = 9}),
            "2012-03-07 04:05:09");
  const clock::LocalTime t = clock::now_local();
  const double s = clock::seconds_since_midnight();
  // Unless midnight passed in between, the two readings are close.
  const double from_fields = t.hour * 3600.0 + t.minute * 60.0 + t.second;
  EXPECT_TRUE((s >= from_fields && s - from_fields < 60.0) || s < 60.0) << s << " " << from_fields;
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
}

}  // namespace
}  // namespace pink
