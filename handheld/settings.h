// The settings file "hx410.ini" beside the program: two text lines, the
// serial port number and the name of the output file.
//
//   1            <- read with the run-time's numeric conversion (Val)
//   zorout.txt   <- trimmed of blanks; relative to the current folder
//
// A missing file is created with exactly these two lines (CR LF) before it is
// read. Lines end with CR LF, CR or LF.
#pragma once

#include <string>
#include <string_view>

namespace pink::handheld {

inline constexpr std::string_view kSettingsFileName = "hx410.ini";
// The variable that names the settings file on Linux instead.
inline constexpr std::string_view kSettingsVariable = "PINK_HX410_INI";
// What a missing settings file is created with.
inline constexpr std::string_view kDefaultSettings = "1\r\nzorout.txt\r\n";

struct Settings {
  int port = 1;
  std::string output_file;  // cp949
};

// Reads the two lines of the file's text. Throws Failure: 62 (Input past end
// of file) when a line is missing, 6 (Overflow) when the port number is
// beyond the integer range, 52 (Bad file name or number) when the output file
// name is empty. Whether the number names a port is the serial control's to
// say when it is set.
Settings parse_settings(std::string_view file_text);

// The run-time's Val: blanks, tabs and line feeds are ignored wherever they
// are; then an optional sign, decimal digits with an optional fraction and
// exponent, or "&H" / "&O" with hexadecimal / octal digits; reading stops at
// the first character that does not fit. 0 when nothing fits.
double val(std::string_view text);

// A number given where an integer is wanted, rounded as the run-time rounds
// (halves to even). False when it lies outside the 16-bit integer range.
bool to_integer(double value, int& out);

}  // namespace pink::handheld
