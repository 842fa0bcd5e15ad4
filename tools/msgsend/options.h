// msgsend's input: the command line and the batch file, as pure logic over
// cp949 text (the arguments and the file are UTF-8 outside).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pink::msgsend {

// One message's texts (cp949), named as on the command line.
struct Fields {
  std::string seq, type, user, dept, call, req, subject, text, rdate;
  std::vector<std::string> files;  // at most three, attached in this order
  std::vector<std::string> given;  // the keys that were given, "file" not among them
  int line = 0;                    // where the message starts in a batch file (0: command line)
};

struct Options {
  bool help = false;
  Fields message;     // the message; with --batch, the defaults of every message
  std::string batch;  // the batch file's name; empty: one message
};

// Parses the arguments (cp949, without the program name). Nothing, with the
// reason in `error`, on a usage error.
std::optional<Options> parse_options(const std::vector<std::string>& args, std::string& error);

// Parses a batch file (its bytes, UTF-8): blocks of "key=value" lines
// separated by blank lines, "#" lines are comments; the keys of the command
// line without "--"; "file" up to three times. Values keep every byte after
// the "=", with the escapes \n \r \t \\. Keys a block leaves out take the
// command line's values (`defaults`). Nothing, with the reason and line
// number in `error`, when the file is malformed.
std::optional<std::vector<Fields>> parse_batch(std::string_view utf8, const Fields& defaults,
                                               std::string& error);

// Why the message cannot be sent as given (a required key missing, a text
// longer than its field, more than three files), or empty. Texts the
// provider cuts (a subject over 120 bytes) are added to `warnings`.
std::string check(const Fields& m, std::vector<std::string>& warnings);

// All batch messages must log in as the same sender: empty, or why not.
std::string check_sender(const std::vector<Fields>& messages);

extern const char* const kUsage;

}  // namespace pink::msgsend
