// INI files with private-profile semantics: section and key names compare
// case-insensitively, a missing value reads as the given default, and a write
// creates the file, the section and the key as needed.
//
// Windows uses the private-profile functions themselves; elsewhere the same
// rules are applied by the pure functions below over the file's text.
#pragma once

#include <string>
#include <string_view>

namespace pink::ini {

// Value of [section] key in `path`, leading and trailing blanks removed and
// surrounding quotes stripped, or `fallback` when absent. Texts are cp949.
std::string read(std::string_view path, std::string_view section, std::string_view key,
                 std::string_view fallback = "");

// Integer value of [section] key (leading digits, optional sign), or
// `fallback` when absent or not a number.
long read_int(std::string_view path, std::string_view section, std::string_view key,
              long fallback);

// Writes [section] key=value. Returns false when the file cannot be written.
bool write(std::string_view path, std::string_view section, std::string_view key,
           std::string_view value);

// The pure rules, over the whole text of a file (lines ended by CR LF or LF).
namespace text {
std::string lookup(std::string_view file_text, std::string_view section, std::string_view key,
                   std::string_view fallback);
// Returns the new file text; lines end with CR LF.
std::string update(std::string_view file_text, std::string_view section, std::string_view key,
                   std::string_view value);
// What a section name, a key name or a value written to the file can hold:
// the text up to its first line break (CR or LF). A name or value runs to the
// end of its line, so a line break in it would start lines of its own and
// could add keys and sections to the file.
std::string_view first_line(std::string_view text);
// The number at the start of a value (blanks skipped, optional sign, decimal
// digits), or `fallback` when it does not start with one.
long to_int(std::string_view value, long fallback);
}  // namespace text

}  // namespace pink::ini
