#include "platform/clock.h"

#include <windows.h>

namespace pink::clock {

LocalTime now_local() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.millisecond = st.wMilliseconds;
  return t;
}

std::uint64_t monotonic_ms() { return GetTickCount64(); }

double seconds_since_midnight() {
  const LocalTime t = now_local();
  return t.hour * 3600.0 + t.minute * 60.0 + t.second + t.millisecond / 1000.0;
}

void sleep_ms(std::uint32_t ms) { Sleep(ms); }

}  // namespace pink::clock
