// The shared log ".\zorlog\ZorVB.log" (zorlog/ZorVB.log under the current
// folder on Linux): one line per event, "<message> YYYY-MM-DD HH:MM:SS" in
// double quotes, ended by CR LF; the file is opened, appended and closed for
// every line, and its folder is never created.
#pragma once

#include <string>
#include <string_view>

#include "platform/clock.h"

namespace pink::mailbox {

// The exact bytes of one log line.
std::string format_log_line(std::string_view message, const clock::LocalTime& when);

class Log {
 public:
  virtual ~Log() = default;
  // Throws pink::Failure (76 Path not found when the folder is missing).
  // On a full disk the line is lost and nothing is thrown.
  virtual void write(std::string_view message) = 0;
};

class FileLog final : public Log {
 public:
  explicit FileLog(std::string path = default_path());
  void write(std::string_view message) override;
  static std::string default_path();

 private:
  std::string path_;
};

}  // namespace pink::mailbox
