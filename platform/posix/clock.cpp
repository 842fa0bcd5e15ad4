#include "platform/clock.h"

#include <cerrno>
#include <time.h>

namespace pink::clock {

LocalTime now_local() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm t{};
  localtime_r(&ts.tv_sec, &t);
  LocalTime lt;
  lt.year = t.tm_year + 1900;
  lt.month = t.tm_mon + 1;
  lt.day = t.tm_mday;
  lt.hour = t.tm_hour;
  lt.minute = t.tm_min;
  lt.second = t.tm_sec > 59 ? 59 : t.tm_sec;  // a leap second reads as :59
  lt.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  return lt;
}

std::uint64_t monotonic_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

double seconds_since_midnight() {
  const LocalTime t = now_local();
  return t.hour * 3600.0 + t.minute * 60.0 + t.second + t.millisecond / 1000.0;
}

void sleep_ms(std::uint32_t ms) {
  timespec left{};
  left.tv_sec = static_cast<time_t>(ms / 1000u);
  left.tv_nsec = static_cast<long>(ms % 1000u) * 1000000L;
  // A signal cuts nanosleep short; sleep on for what is left.
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace pink::clock
