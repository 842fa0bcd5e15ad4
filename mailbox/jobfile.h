// Job files ("printer.zor", "kitchen.zor", ...): cp949 text, CR LF lines; line
// 1 is the job header, every further line a body line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pink::mailbox {

// The job header, read by character position. A 6-character header gives the
// port field two characters; any other length gives it one and moves every
// later field one place left. Fields beyond the end are empty.
struct JobHeader {
  std::string port;      // "1".."16" or "P" (as read, untrimmed)
  std::string signal;    // end-of-job signal (kitchen spoolers)
  std::string model;     // printer dialect
  std::string reserved;  // read, never used
  std::string option;    // logo option (receipt spoolers)
};

enum class HeaderLayout {
  ByLength,      // 6 characters: two-character port field; otherwise one
  SixCharacter,  // always the 6-character layout (the resident kitchen printer)
};

JobHeader parse_header(std::string_view line, HeaderLayout layout = HeaderLayout::ByLength);

// Splits file bytes into lines. A line ends at CR LF, at a lone CR or at a lone
// LF; a final line without an end counts when it is not empty.
std::vector<std::string> split_lines(std::string_view bytes);

// The largest job file read: a receipt or an order slip is a few kilobytes,
// so a file beyond this is no job (and is refused before it fills memory).
inline constexpr std::uint64_t kMaxJobFileBytes = 16u * 1024u * 1024u;

// A job file read whole at open; lines are handed out in order.
class JobFile {
 public:
  // Opens the file in the current folder. Throws pink::Failure 53 (File not
  // found) or 75/76 when it cannot be read.
  static JobFile open(std::string_view name);
  static JobFile from_bytes(std::string_view bytes);

  // The next line; throws pink::Failure 62 (Input past end of file) when the
  // file has no more lines.
  std::string next_line();
  bool at_end() const noexcept { return next_ >= lines_.size(); }
  // Releases the file's content (the job file is "closed").
  void close() noexcept;

 private:
  std::vector<std::string> lines_;
  std::size_t next_ = 0;
};

}  // namespace pink::mailbox
