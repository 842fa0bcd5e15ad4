#include "mailbox/log.h"

#include <cstdio>

#include "platform/failure.h"
#include "platform/files.h"

namespace pink::mailbox {

std::string format_log_line(std::string_view message, const clock::LocalTime& when) {
  std::string line;
  line.reserve(message.size() + 25);
  line.push_back('"');
  line.append(message);
  line.push_back(' ');
  line.append(clock::format_datetime(when));
  line.append("\"\r\n");
  return line;
}

FileLog::FileLog(std::string path) : path_(std::move(path)) {}

std::string FileLog::default_path() { return files::native_path(".\\zorlog\\ZorVB.log"); }

void FileLog::write(std::string_view message) {
  switch (files::append(path_, format_log_line(message, clock::now_local()))) {
    case files::AppendStatus::Ok:
      return;
    case files::AppendStatus::NoSpace:
      // A diagnostic line is not worth a job: on a full disk it is lost and
      // the job goes on (a missing folder or a refused file still fails it).
      return;
    case files::AppendStatus::PathNotFound:
      throw Failure(Err::PathNotFound, describe(Err::PathNotFound),
                    "no folder for the log file " + files::full_path(path_) + " (the folder is never created)");
    case files::AppendStatus::AccessDenied:
      throw Failure(Err::PermissionDenied, describe(Err::PermissionDenied),
                    "the log file may not be written: " + files::full_path(path_));
    case files::AppendStatus::Failed:
      break;
  }
  throw Failure(Err::PathFileAccessError, describe(Err::PathFileAccessError),
                "the log file could not be written: " + files::full_path(path_));
}

}  // namespace pink::mailbox
