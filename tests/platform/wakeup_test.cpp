// The wake-up signal: set by another thread or by a deadline, seen by wait()
// and by poll() on its descriptor, and cleared only by its owner.
#include <gtest/gtest.h>
#include <poll.h>

#include <thread>

#include "platform/wakeup.h"

namespace pink {
namespace {

bool readable(const wakeup::Signal& s, int timeout_ms) {
  pollfd p{static_cast<int>(s.handle()), POLLIN, 0};
  return ::poll(&p, 1, timeout_ms) == 1;
}

TEST(WakeupSignal, NotifyFromAnotherThreadSetsItUntilCleared) {
  wakeup::Signal s;
  EXPECT_FALSE(s.wait(0));
  EXPECT_FALSE(readable(s, 0));
  std::thread other([&] { s.notify(); s.notify(); });
  EXPECT_TRUE(s.wait(10000));
  other.join();
  EXPECT_TRUE(readable(s, 0));
  EXPECT_TRUE(s.wait(0));  // waiting does not clear it
  s.clear();
  EXPECT_FALSE(readable(s, 0));
  s.clear();  // clearing a clear signal is harmless
  EXPECT_FALSE(s.wait(20));
}

TEST(WakeupSignal, ADeadlineSetsItAndSurvivesAClearWhileStillAhead) {
  wakeup::Signal s;
  s.arm_after(0);
  EXPECT_TRUE(s.wait(10000));
  s.clear();
  EXPECT_FALSE(readable(s, 0));

  s.arm_after(60000);  // far ahead: a clear leaves it armed, a disarm does not
  s.clear();
  EXPECT_FALSE(readable(s, 50));
  s.arm_after(30);  // re-arming replaces the deadline
  EXPECT_TRUE(readable(s, 10000));
  s.clear();
  s.arm_after(30);
  s.disarm();
  EXPECT_FALSE(s.wait(200));
}

}  // namespace
}  // namespace pink
