// The job file, its header and the body-line rules over any bytes: lines
// hold no line ends and give back the file's text, the header's fields are
// the header's first characters in order, the NUL token is gone after its
// replacement, and the Korean writes account for every character.
#include <algorithm>

#include "fuzz/check.h"
#include "mailbox/bodylines.h"
#include "mailbox/jobfile.h"
#include "platform/failure.h"
#include "platform/text.h"

using namespace pink::mailbox;

namespace {

// The bytes with every line end (CR LF, CR, LF) written as one LF.
std::string with_lf_ends(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r') {
      out += '\n';
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      out += bytes[i];
    }
  }
  return out;
}

void check_lines(std::string_view bytes) {
  const std::vector<std::string> lines = split_lines(bytes);
  std::string joined;
  for (const std::string& line : lines) {
    FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
    joined += line;
    joined += '\n';
  }
  std::string expected = with_lf_ends(bytes);
  if (!expected.empty() && expected.back() != '\n') {
    expected += '\n';
    FUZZ_CHECK(!lines.back().empty());
  }
  FUZZ_CHECK(joined == expected);

  // The job file hands out the same lines in order, then fails with 62.
  JobFile file = JobFile::from_bytes(bytes);
  for (const std::string& line : lines) {
    FUZZ_CHECK(!file.at_end());
    FUZZ_CHECK(file.next_line() == line);
  }
  FUZZ_CHECK(file.at_end());
  try {
    (void)file.next_line();
    FUZZ_CHECK(false);
  } catch (const pink::Failure& f) {
    FUZZ_CHECK(f.number() == 62);
  }
}

void check_header(std::string_view line, HeaderLayout layout) {
  const JobHeader h = parse_header(line, layout);
  const std::string joined = h.port + h.signal + h.model + h.reserved + h.option;
  FUZZ_CHECK(line.substr(0, joined.size()) == joined);
  const std::size_t chars = pink::text::char_count(line);
  const bool six = layout == HeaderLayout::SixCharacter || chars == 6;
  FUZZ_CHECK(pink::text::char_count(h.port) <= (six ? 2u : 1u));
  for (const std::string* f : {&h.signal, &h.model, &h.reserved, &h.option}) {
    FUZZ_CHECK(pink::text::char_count(*f) <= 1);
  }
  // Every character up to the header's width is taken.
  FUZZ_CHECK(pink::text::char_count(joined) == std::min(chars, std::size_t{six ? 6u : 5u}));
}

void check_body(std::string_view line) {
  const std::string replaced = replace_null_token(line);
  FUZZ_CHECK(replaced.find(kNullToken) == std::string::npos);
  const auto nuls = [](std::string_view s) { return std::count(s.begin(), s.end(), '\0'); };
  const std::size_t tokens = static_cast<std::size_t>(nuls(replaced) - nuls(line));
  FUZZ_CHECK(replaced.size() + tokens * (kNullToken.size() - 1) == line.size());

  const std::vector<std::string> writes = korean_double_byte_writes(line);
  if (line.empty()) {
    FUZZ_CHECK(writes.empty());
    return;
  }
  FUZZ_CHECK(writes.back() == kCrLf);
  std::size_t characters = 0;
  for (std::size_t i = 0; i + 1 < writes.size(); ++characters) {
    if (writes[i] == std::string("\x1C&", 2) && i + 3 < writes.size() && writes[i + 3] == "\x1C.") {
      FUZZ_CHECK(writes[i + 1].size() == 1 && writes[i + 2].size() == 1);
      FUZZ_CHECK((static_cast<unsigned char>(writes[i + 1][0]) & 0x80) == 0);
      FUZZ_CHECK((static_cast<unsigned char>(writes[i + 2][0]) & 0x80) == 0);
      i += 4;
    } else {
      FUZZ_CHECK(writes[i].size() == 1);
      ++i;
    }
  }
  FUZZ_CHECK(characters == pink::text::char_count(line));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = pink::fuzz::chars(pink::fuzz::bytes(data, size));
  check_lines(bytes);
  const std::vector<std::string> lines = split_lines(bytes);
  if (!lines.empty()) {
    check_header(lines.front(), HeaderLayout::ByLength);
    check_header(lines.front(), HeaderLayout::SixCharacter);
  }
  for (std::size_t i = 1; i < lines.size() && i < 16; ++i) check_body(lines[i]);
  return 0;
}
