// "--help" and "--version" for every program and tool of the suite.
//
// Both answers are printed on standard output and end the program with
// status 0 before it touches anything: no settings store, port, job file,
// lock or log is opened. A program asks for the answer first thing in main,
// before any object that opens the store is created.
//
// Only the first argument counts: the programs the POS starts take no
// arguments, and any other argument leaves what they do unchanged.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pink::cli {

// A program's usage text, in parts so that every program's help reads the
// same way. Each part may hold several lines separated by '\n'; the last
// line needs no '\n'. Empty parts are left out.
struct Help {
  std::string_view program;
  std::string_view usage;          // argument forms, one a line, without the name
  std::string_view about;          // what the program does; its options
  std::string_view configuration;  // environment variables, mailbox keys, INI settings read
  std::string_view files;          // files read or written, and where
  std::string_view exit_status;    // one status a line: "0  printed"
};

// The suite's version, from the build.
std::string_view suite_version();

// "<program> (pink) <version>\n"
std::string version_line(std::string_view program);

// The full help text of `help`.
std::string render(const Help& help);

// The text to print when the first argument is "--help", "-h" or
// "--version"; nothing for any other command line.
std::optional<std::string> answer(const std::vector<std::string>& args, std::string_view program,
                                  std::string_view help_text);

// Prints answer() on standard output and gives the exit status 0; nothing
// (and nothing printed) for any other command line.
std::optional<int> respond(const std::vector<std::string>& args, std::string_view program,
                           std::string_view help_text);
std::optional<int> respond(const std::vector<std::string>& args, const Help& help);

// The same from main's own arguments.
std::optional<int> respond(int argc, char** argv, const Help& help);

}  // namespace pink::cli
