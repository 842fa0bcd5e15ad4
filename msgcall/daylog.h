// The day log of the message sending client: one file per local day,
// "MMS<yyyy><mm><dd>.LOG" in the log folder (C:\TEMP on Windows; on Linux
// $PINK_MSG_LOGDIR, default /tmp), opened, appended one line and closed for
// every line. A line is "yyyy-mm-dd hh:mm:ss  <thread id> " and the message,
// which carries its own line end. The log never fails a send: a line that
// cannot be written (no folder, no permission) is lost.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace pink::msgcall::daylog {

// Longest message a line carries; a longer one is cut at a character
// boundary and keeps its line end.
inline constexpr std::size_t kMaxMessageBytes = 2048;

// The log folder (cp949).
std::string folder();

// "<folder>\MMS20240131.LOG" (year unpadded, month and day in two digits).
std::string file_name(std::string_view folder, const clock::LocalTime& t);

// "2024-01-31 09:05:07  4211 " + message (the id at least three digits).
std::string line(const clock::LocalTime& t, long thread_id, std::string_view message);

// Writes the message as a line of today's file, stamped now with the calling
// thread's identifier.
void write(std::string_view message);

}  // namespace pink::msgcall::daylog
