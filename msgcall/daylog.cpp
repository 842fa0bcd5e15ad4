#include "msgcall/daylog.h"

#include <algorithm>
#include <cstdio>

#include "platform/files.h"
#include "platform/text.h"
#include "platform/threadid.h"

namespace pink::msgcall::daylog {

std::string folder() { return files::fixed_folder("C:\\TEMP", "PINK_MSG_LOGDIR", "/tmp"); }

std::string file_name(std::string_view folder, const clock::LocalTime& t) {
  char name[48];
  std::snprintf(name, sizeof name, "\\MMS%d%02d%02d.LOG", t.year, t.month, t.day);
  return std::string(folder) + name;
}

std::string line(const clock::LocalTime& t, long thread_id, std::string_view message) {
  char stamp[96];
  const int n = std::snprintf(stamp, sizeof stamp, "%d-%02d-%02d %02d:%02d:%02d  %03ld ", t.year, t.month, t.day,
                              t.hour, t.minute, t.second, thread_id);
  std::string out(stamp, n > 0 ? std::min<std::size_t>(static_cast<std::size_t>(n), sizeof stamp - 1) : 0);
  if (message.size() <= kMaxMessageBytes) {
    out.append(message);
    return out;
  }
  // Cut at the start of the character that would cross the bound, so that no
  // double-byte character is split, and keep the line end.
  std::size_t keep = 0;
  while (keep < message.size()) {
    const std::size_t len = text::char_length_at(message, keep);
    if (keep + len > kMaxMessageBytes - 1) break;
    keep += len;
  }
  out.append(message.substr(0, keep));
  if (message.back() == '\n') out += '\n';
  return out;
}

void write(std::string_view message) {
  try {
    const clock::LocalTime now = clock::now_local();
    files::append(file_name(folder(), now), line(now, threadid::current(), message));
  } catch (...) {
    // Out of memory while formatting: the line is lost, the send goes on.
  }
}

}  // namespace pink::msgcall::daylog
