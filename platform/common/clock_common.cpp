#include <cstdio>

#include "platform/clock.h"

namespace pink::clock {

std::string format_datetime(const LocalTime& t) {
  char buf[80];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

}  // namespace pink::clock
