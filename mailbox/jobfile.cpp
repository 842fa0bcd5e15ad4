#include "mailbox/jobfile.h"

#include "platform/failure.h"
#include "platform/files.h"
#include "platform/text.h"

namespace pink::mailbox {
namespace {

// Splits a header into characters the way the POS run-time counts them: a
// cp949 double-byte character is one character.
std::vector<std::string_view> characters(std::string_view line) {
  std::vector<std::string_view> chars;
  for (std::size_t i = 0; i < line.size();) {
    std::size_t n = text::char_length_at(line, i);
    chars.push_back(line.substr(i, n));
    i += n;
  }
  return chars;
}

}  // namespace

JobHeader parse_header(std::string_view line, HeaderLayout layout) {
  const auto chars = characters(line);
  const bool six = layout == HeaderLayout::SixCharacter || chars.size() == 6;
  // Field widths in characters: port, signal, model, reserved, option.
  const std::size_t widths[5] = {six ? 2u : 1u, 1, 1, 1, 1};
  std::string* fields[5];
  JobHeader h;
  fields[0] = &h.port;
  fields[1] = &h.signal;
  fields[2] = &h.model;
  fields[3] = &h.reserved;
  fields[4] = &h.option;
  std::size_t pos = 0;
  for (int f = 0; f < 5; ++f) {
    for (std::size_t k = 0; k < widths[f] && pos < chars.size(); ++k, ++pos) {
      fields[f]->append(chars[pos]);
    }
  }
  return h;
}

std::vector<std::string> split_lines(std::string_view bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char c = bytes[i];
    if (c != '\r' && c != '\n') continue;
    lines.emplace_back(bytes.substr(start, i - start));
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
  return lines;
}

JobFile JobFile::open(std::string_view name) {
  auto r = files::read_all(name, kMaxJobFileBytes);
  // The mailbox gets the standard text; people get the file's full path.
  const auto fail = [name](Err code, std::string_view why) {
    return Failure(code, describe(code), std::string(why) + " " + files::full_path(name));
  };
  switch (r.status) {
    case files::ReadStatus::Ok:
      return from_bytes(r.bytes);
    case files::ReadStatus::NotFound:
      throw fail(Err::FileNotFound, "no job file");
    case files::ReadStatus::PathNotFound:
      throw fail(Err::PathNotFound, "no folder for the job file");
    case files::ReadStatus::AccessDenied:
      throw fail(Err::PermissionDenied, "the job file may not be read:");
    case files::ReadStatus::NotAFile:
      throw fail(Err::PathFileAccessError, "the job file is not a file:");
    case files::ReadStatus::TooLarge:
      throw fail(Err::PathFileAccessError, "the job file is too large to be a job:");
    case files::ReadStatus::Failed:
      break;
  }
  throw fail(Err::PathFileAccessError, "the job file could not be read:");
}

JobFile JobFile::from_bytes(std::string_view bytes) {
  JobFile f;
  f.lines_ = split_lines(bytes);
  return f;
}

std::string JobFile::next_line() {
  if (at_end()) throw Failure(Err::InputPastEndOfFile);
  return lines_[next_++];
}

void JobFile::close() noexcept {
  lines_.clear();
  lines_.shrink_to_fit();
  next_ = 0;
}

}  // namespace pink::mailbox
