// The 14 digits of a local date and time as the card reader interface hands
// them to its callers: year, month, day, hour, minute, second.
#pragma once

#include <array>
#include <cstdio>

#include "platform/clock.h"

namespace pink::icapi {

// "YYYYMMDDhhmmss". Formatted into a zeroed buffer of 15 bytes; a year beyond
// four digits keeps the 14 leading characters.
inline std::array<char, 14> datetime_digits(const clock::LocalTime& t) {
  char digits[15] = {};
  std::snprintf(digits, sizeof digits, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  std::array<char, 14> out{};
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = digits[i];
  return out;
}

}  // namespace pink::icapi
