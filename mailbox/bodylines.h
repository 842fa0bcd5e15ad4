// Rules shared by the spoolers' body lines.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "mailbox/models.h"

namespace pink::mailbox {

inline constexpr std::string_view kCrLf = "\r\n";
inline constexpr std::string_view kLf = "\n";
inline constexpr std::string_view kNullToken = "#NULL#";

// Line end after a body line: LF alone where the model says so, else CR LF.
std::string_view line_end(const ModelProfile& model);

// Every "#NULL#" becomes one 0x00 byte.
std::string replace_null_token(std::string_view line);

// Whether the model's body lines take the NUL token; `resident_serial` for the
// serial-only resident kitchen printer, which knows it on fewer models.
bool takes_null_token(const ModelProfile& model, bool resident_serial = false);

// Korean double-byte mode: the writes that send one body line, in order. A
// single-byte character is one write; a double-byte character is four writes
// (FS &, lead AND 0x7F, trail AND 0x7F, FS .); CR LF closes the line in one
// write. An empty line gives no writes at all.
std::vector<std::string> korean_double_byte_writes(std::string_view line);

// The text edit hook: takes the body line with CR LF appended and returns what
// to send (see textedit/).
using EditHook = std::function<std::string(const std::string& line_with_crlf)>;

}  // namespace pink::mailbox
