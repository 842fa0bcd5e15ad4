// vscanner's command line and the bytes it sends for a code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pink::vscanner {

struct Options {
  int com = 0;                       // COMn
  std::string ending = "\r";         // --end cr | crlf
  std::uint32_t gap_ms = 100;        // --gap MS: pause before each code
  bool listen = false;               // --listen
  bool wait_open = true;             // --no-wait turns it off
  bool help = false;                 // --help
  std::vector<std::string> codes;    // as typed (UTF-8); empty: lines of standard input
  std::vector<std::string> command;  // the program and its arguments
};

struct Parsed {
  std::optional<Options> options;  // set when the command line is valid
  std::string error;               // why it is not
};

Parsed parse(const std::vector<std::string>& args);

// The usage text printed by --help and, on standard error, on bad usage.
std::string_view usage();

// What goes out for one code: the code as cp949 (typed as UTF-8) and the
// ending.
std::string frame(std::string_view code_utf8, std::string_view ending);

// A line of standard input as a code: without its line end (LF or CR LF).
std::string line_code(std::string_view line);

}  // namespace pink::vscanner
