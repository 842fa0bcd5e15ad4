// The day trace log: one file per local day, ".\CRV<yyyymmdd>.log" in the
// current folder, opened, appended one line and closed for every line. The
// log never fails an operation: a line that cannot be written is dropped.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace pink::corvanavan::trace {

// Messages are formatted into a buffer of this size; longer ones are cut.
inline constexpr std::size_t kMessageBufferSize = 4096;

// printf-style formatting, bounded: at most kMessageBufferSize - 1 bytes.
std::string format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string vformat(const char* format, std::va_list args);

// ".\CRV20240131.log"
std::string file_name(const clock::LocalTime& t);

// "2024/01/31 09:05:07   message" followed by CR LF.
std::string line(const clock::LocalTime& t, std::string_view message);

// Appends the line of `message` at time `t` to that day's file. 0 written,
// -1 dropped (the file could not be opened).
int write_at(const clock::LocalTime& t, std::string_view message);

// The same at the current local time (taken once for name and line).
int write(std::string_view message);

}  // namespace pink::corvanavan::trace
