// Private-profile rules over the text of an INI file.
//
// A line "[name]" opens a section; "key=value" lines belong to the section
// above them; lines starting with ';' are comments. Names compare without
// regard to the case of ASCII letters; blanks around names and values do not
// count, and quotes around a whole value are not part of it. The first
// matching section, and the first matching key in it, is the one read and
// written. Since no cp949 trail byte is '[', ']', '=' or ';', the text is
// parsed byte by byte without splitting a double-byte character.
#include <climits>
#include <string>
#include <vector>

#include "platform/ini.h"
#include "platform/text.h"

namespace pink::ini::text {
namespace {

std::string_view strip(std::string_view s) {
  constexpr std::string_view kBlanks = " \t";
  const auto first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

// The lines of the text, without their CR LF or LF.
std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    auto end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    pos = end + 1;
  }
  return lines;
}

// The name of a section header line ("[ name ]" gives "name"; a header
// without its closing bracket runs to the end of the line).
bool section_name(std::string_view line, std::string_view* name) {
  const std::string_view t = strip(line);
  if (t.empty() || t.front() != '[') return false;
  auto close = t.find(']');
  if (close == std::string_view::npos) close = t.size();
  *name = strip(t.substr(1, close - 1));
  return true;
}

bool is_comment(std::string_view line) {
  const std::string_view t = strip(line);
  return !t.empty() && t.front() == ';';
}

// Splits "key = value"; false for lines that are no key line.
bool key_line(std::string_view line, std::string_view* key, std::string_view* value) {
  if (is_comment(line)) return false;
  const auto eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  *key = strip(line.substr(0, eq));
  *value = strip(line.substr(eq + 1));
  return true;
}

// "a" "b" "c" joined (built by appending: GCC 12 misreads chains of
// std::string operator+ under -O3 as overlapping copies).
std::string join(std::string_view a, std::string_view b, std::string_view c) {
  std::string s;
  s.reserve(a.size() + b.size() + c.size());
  s.append(a).append(b).append(c);
  return s;
}

bool same_name(std::string_view a, std::string_view b) {
  return pink::text::compare_nocase(a, b) == 0;
}

// Index of the first header of `section`, or lines.size().
std::size_t find_section(const std::vector<std::string_view>& lines, std::string_view section) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view name;
    if (section_name(lines[i], &name) && same_name(name, section)) return i;
  }
  return lines.size();
}

// One past the last line of the section whose header is at `header`.
std::size_t section_end(const std::vector<std::string_view>& lines, std::size_t header) {
  std::size_t i = header + 1;
  std::string_view name;
  while (i < lines.size() && !section_name(lines[i], &name)) ++i;
  return i;
}

std::string_view unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

}  // namespace

std::string_view first_line(std::string_view text) { return text.substr(0, text.find_first_of("\r\n")); }

std::string lookup(std::string_view file_text, std::string_view section, std::string_view key,
                   std::string_view fallback) {
  const auto lines = split_lines(file_text);
  section = strip(first_line(section));
  key = strip(first_line(key));
  const std::size_t header = find_section(lines, section);
  if (header == lines.size()) return std::string(fallback);
  const std::size_t end = section_end(lines, header);
  for (std::size_t i = header + 1; i < end; ++i) {
    std::string_view k, v;
    if (key_line(lines[i], &k, &v) && same_name(k, key)) return std::string(unquote(v));
  }
  return std::string(fallback);
}

std::string update(std::string_view file_text, std::string_view section, std::string_view key,
                   std::string_view value) {
  auto lines = split_lines(file_text);
  section = strip(first_line(section));
  key = strip(first_line(key));
  value = first_line(value);
  std::string replaced;  // keeps a rewritten line alive while `lines` views it
  const std::string added = join(key, "=", value);
  const std::string header_line = join("[", section, "]");

  const std::size_t header = find_section(lines, section);
  if (header == lines.size()) {
    lines.push_back(header_line);
    lines.push_back(added);
  } else {
    const std::size_t end = section_end(lines, header);
    std::size_t found = end;
    std::size_t last_filled = header;
    for (std::size_t i = header + 1; i < end; ++i) {
      std::string_view k, v;
      if (key_line(lines[i], &k, &v) && same_name(k, key)) {
        found = i;
        break;
      }
      if (!strip(lines[i]).empty()) last_filled = i;
    }
    if (found != end) {
      // The key keeps the spelling it has in the file.
      std::string_view k, v;
      key_line(lines[found], &k, &v);
      replaced = join(k, "=", value);
      lines[found] = replaced;
    } else {
      // After the section's last line that is not blank, so that a blank
      // line before the next section stays where it is.
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(last_filled + 1), added);
    }
  }

  std::string out;
  out.reserve(file_text.size() + added.size() + header_line.size() + 8);
  for (const auto line : lines) {
    out.append(line);
    out.append("\r\n");
  }
  return out;
}

long to_int(std::string_view value, long fallback) {
  std::string_view v = strip(value);
  bool negative = false;
  if (!v.empty() && (v.front() == '+' || v.front() == '-')) {
    negative = v.front() == '-';
    v.remove_prefix(1);
  }
  if (v.empty() || v.front() < '0' || v.front() > '9') return fallback;
  // Accumulated negatively so that LONG_MIN is reachable; clamped on overflow.
  long n = 0;
  for (const char c : v) {
    if (c < '0' || c > '9') break;
    const int digit = c - '0';
    if (n < (LONG_MIN + digit) / 10) {
      n = LONG_MIN;
      break;
    }
    n = n * 10 - digit;
  }
  if (negative) return n;
  return n == LONG_MIN ? LONG_MAX : -n;
}

}  // namespace pink::ini::text
