// Clock, local time and sleeping.
#pragma once

#include <cstdint>
#include <string>

namespace pink::clock {

struct LocalTime {
  int year = 0, month = 0, day = 0;       // 2012, 1..12, 1..31
  int hour = 0, minute = 0, second = 0;   // 0..23, 0..59, 0..59
  int millisecond = 0;
};

LocalTime now_local();
// Milliseconds from an arbitrary fixed start, never going back.
std::uint64_t monotonic_ms();
// Seconds since local midnight with fractions (the run-time's Timer).
double seconds_since_midnight();
void sleep_ms(std::uint32_t ms);

// A wait without limit, wherever a platform piece takes a wait in
// milliseconds (serial time-outs and events, device writes, sockets, TLS).
inline constexpr std::uint32_t kWaitForever = 0xFFFFFFFFu;

// "YYYY-MM-DD HH:MM:SS"
std::string format_datetime(const LocalTime& t);

}  // namespace pink::clock
