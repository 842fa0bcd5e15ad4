// The INI text rules over any file text: a value written is read back as
// written (one line, blanks and surrounding quotes aside), a name counts up
// to its first line break, a write adds at most its own section header and
// changes no other key, and a number is read as the leading digits say,
// clamped to the range of a long.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>

#include "fuzz/check.h"
#include "platform/ini.h"
#include "platform/text.h"

using namespace pink::ini::text;

namespace {

std::string_view strip(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::string_view unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

std::string_view one_line(std::string_view s) { return s.substr(0, s.find_first_of("\r\n")); }

// Section header lines of a text, as the reader sees them: how many, and
// whether one of them names `section`.
std::size_t headers(std::string_view text, std::string_view section, bool* found) {
  std::size_t n = 0;
  *found = false;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string_view t = strip(line);
    pos = end + 1;
    if (t.empty() || t.front() != '[') continue;
    ++n;
    const std::string_view name = strip(t.substr(1, std::min(t.find(']'), t.size()) - 1));
    if (pink::text::compare_nocase(name, strip(section)) == 0) *found = true;
  }
  return n;
}

// Names a caller can write and read back: one line, and no character that
// ends the name inside its own line (a section's ']', a key's '=', a key
// that reads as a header or a comment).
bool usable(std::string_view section, std::string_view key) {
  const std::string_view k = strip(key);
  return section.find(']') == std::string_view::npos && key.find('=') == std::string_view::npos &&
         (k.empty() || (k.front() != '[' && k.front() != ';'));
}

long reference_int(std::string_view value, long fallback) {
  std::string_view v = strip(value);
  bool negative = false;
  if (!v.empty() && (v.front() == '+' || v.front() == '-')) {
    negative = v.front() == '-';
    v.remove_prefix(1);
  }
  if (v.empty() || v.front() < '0' || v.front() > '9') return fallback;
  __int128 n = 0;
  for (const char c : v) {
    if (c < '0' || c > '9') break;
    n = n * 10 + (c - '0');
    if (n > static_cast<__int128>(LONG_MAX) + 1) n = static_cast<__int128>(LONG_MAX) + 1;
  }
  if (negative) n = -n;
  if (n > LONG_MAX) return LONG_MAX;
  if (n < LONG_MIN) return LONG_MIN;
  return static_cast<long>(n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  // Names as a caller passes them, line breaks and all; the rules keep the
  // first line of each.
  const std::string section_given = in.ConsumeRandomLengthString(24);
  const std::string key_given = in.ConsumeRandomLengthString(24);
  const std::string section(one_line(section_given));
  const std::string key(one_line(key_given));
  const std::string value = in.ConsumeRandomLengthString(48);
  const std::string other_section(one_line(in.ConsumeRandomLengthString(16)));
  const std::string other_key(one_line(in.ConsumeRandomLengthString(16)));
  const std::string file = in.ConsumeRemainingBytesAsString();

  FUZZ_CHECK(to_int(value, -7) == reference_int(value, -7));
  if (!usable(section, key)) return 0;

  const std::string written = update(file, section_given, key_given, value);
  FUZZ_CHECK(written == update(file, section, key, value));
  FUZZ_CHECK(lookup(file, section_given, key_given, "\x01") == lookup(file, section, key, "\x01"));
  // Every line of the new text ends with CR LF.
  FUZZ_CHECK(written.size() >= 2 && written.compare(written.size() - 2, 2, "\r\n") == 0);
  FUZZ_CHECK(lookup(written, section, key, "\x01") == unquote(strip(one_line(value))));

  // No forged section: at most the written section's own header is new.
  bool had_section = false, has_section = false;
  const std::size_t before = headers(file, section, &had_section);
  FUZZ_CHECK(headers(written, section, &has_section) == before + (had_section ? 0 : 1));
  FUZZ_CHECK(has_section);

  // Any other key keeps its value.
  const bool same_section = pink::text::compare_nocase(strip(other_section), strip(section)) == 0;
  const bool same_key = pink::text::compare_nocase(strip(other_key), strip(key)) == 0;
  if (!(same_section && same_key) && usable(other_section, other_key)) {
    FUZZ_CHECK(lookup(written, other_section, other_key, "\x01") ==
               lookup(file, other_section, other_key, "\x01"));
  }
  // Writing the same again changes nothing.
  FUZZ_CHECK(update(written, section, key, value) == written);
  return 0;
}
