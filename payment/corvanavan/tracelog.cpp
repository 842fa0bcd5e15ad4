#include "payment/corvanavan/tracelog.h"

#include <cstdio>
#include <cstring>

#include "platform/files.h"

namespace pink::corvanavan::trace {

std::string vformat(const char* format, std::va_list args) {
  char buffer[kMessageBufferSize];
  buffer[0] = '\0';
  if (format == nullptr) return {};
  if (std::vsnprintf(buffer, sizeof buffer, format, args) < 0) return {};
  buffer[sizeof buffer - 1] = '\0';  // also where a C runtime leaves it open when cut
  return std::string(buffer, std::strlen(buffer));
}

std::string format(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::string out = vformat(format, args);
  va_end(args);
  return out;
}

std::string file_name(const clock::LocalTime& t) {
  char name[64];
  std::snprintf(name, sizeof name, ".\\CRV%04d%02d%02d.log", t.year, t.month, t.day);
  return name;
}

std::string line(const clock::LocalTime& t, std::string_view message) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d %02d:%02d:%02d   ", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  std::string out(stamp);
  out.append(message.substr(0, kMessageBufferSize - 1));
  out += "\r\n";
  return out;
}

int write_at(const clock::LocalTime& t, std::string_view message) {
  try {
    return files::append(file_name(t), line(t, message)) == files::AppendStatus::Ok ? 0 : -1;
  } catch (...) {
    return -1;
  }
}

int write(std::string_view message) { return write_at(clock::now_local(), message); }

}  // namespace pink::corvanavan::trace
