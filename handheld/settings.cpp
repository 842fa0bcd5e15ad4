#include "handheld/settings.h"

#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <string>

#include "platform/failure.h"
#include "platform/text.h"

namespace pink::handheld {
namespace {

// Splits the next line off `rest`; false when nothing is left to read.
bool next_line(std::string_view& rest, std::string_view& line) {
  if (rest.empty()) return false;
  const auto end = rest.find_first_of("\r\n");
  if (end == std::string_view::npos) {
    line = rest;
    rest = {};
    return true;
  }
  line = rest.substr(0, end);
  const bool crlf = rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n';
  rest.remove_prefix(end + (crlf ? 2 : 1));
  return true;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// "&H1F" / "&O17": a value up to &HFFFF is a 16-bit integer, so one with the
// top bit set is negative ("&HFFFF" is -1), as the run-time reads it.
double prefixed_value(std::string_view s, int base) {
  std::uint64_t v = 0;
  for (const char c : s) {
    const int d = digit_value(c);
    if (d >= base) break;
    v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
    if (v > 0xFFFFFFFFu) break;  // far out of any range the value is used in
  }
  if (v <= 0xFFFF) return static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
  return static_cast<double>(v);
}

// Sign, digits, fraction and exponent ("1.5E2", "-3", ".5", "2D1").
double decimal_value(std::string_view s) {
  std::string number;
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) number += s[i++];
  bool digits = false, point = false;
  for (; i < s.size(); ++i) {
    if (s[i] >= '0' && s[i] <= '9') {
      number += s[i];
      digits = true;
    } else if (s[i] == '.' && !point) {
      number += '.';
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    std::string exponent = "e";
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent += s[j++];
    const std::size_t first_digit = j;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9') exponent += s[j++];
    if (j > first_digit) number += exponent;
  }
  return std::strtod(number.c_str(), nullptr);
}

}  // namespace

double val(std::string_view text) {
  std::string s;
  for (const char c : text) {
    if (!is_blank(c)) s += c;
  }
  if (s.size() >= 2 && s[0] == '&') {
    const char kind = static_cast<char>(s[1] | 0x20);
    if (kind == 'h') return prefixed_value(std::string_view(s).substr(2), 16);
    if (kind == 'o') return prefixed_value(std::string_view(s).substr(2), 8);
  }
  const double v = decimal_value(s);
  return std::isfinite(v) ? v : 0;
}

bool to_integer(double value, int& out) {
  const double rounded = std::nearbyint(value);  // the default mode rounds halves to even
  if (!(rounded >= -32768.0 && rounded <= 32767.0)) return false;
  out = static_cast<int>(rounded);
  return true;
}

Settings parse_settings(std::string_view file_text) {
  std::string_view rest = file_text;
  std::string_view port_line, name_line;
  if (!next_line(rest, port_line) || !next_line(rest, name_line)) {
    throw Failure(Err::InputPastEndOfFile, describe(Err::InputPastEndOfFile),
                  "the settings file needs two lines: the port number and the output file name");
  }
  Settings s;
  // The port's range is the serial control's to check, when it is set.
  if (!to_integer(val(port_line), s.port)) {
    throw Failure(Err::Overflow, describe(Err::Overflow),
                  "line 1 of the settings file gives port \"" + std::string(port_line) + "\"");
  }
  s.output_file = text::trim(name_line);
  if (s.output_file.empty()) {
    throw Failure(Err::BadFileNameOrNumber, describe(Err::BadFileNameOrNumber),
                  "line 2 of the settings file gives no output file name");
  }
  return s;
}

}  // namespace pink::handheld
