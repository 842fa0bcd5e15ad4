// The text codec over any bytes: every conversion gives well-formed output,
// valid cp949 text survives the trips through UTF-8 and UTF-16 unchanged,
// invalid bytes show as U+FFFD rather than vanish, and the character
// counting walks the text in steps of one or two bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/check.h"
#include "platform/text.h"

using namespace pink::text;

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Well-formed UTF-8: shortest forms, no surrogates, nothing above U+10FFFF.
bool valid_utf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    char32_t c = 0;
    if (b < 0x80) {
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      n = 1, c = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      n = 2, c = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      n = 3, c = b & 0x07;
    } else {
      return false;
    }
    if (i + n >= s.size()) return false;
    for (std::size_t k = 1; k <= n; ++k) {
      const auto t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      c = (c << 6) | (t & 0x3F);
    }
    const char32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (c < least[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

void check_cp949(std::string_view cp) {
  const std::string utf8 = cp949_to_utf8(cp);
  FUZZ_CHECK(valid_utf8(utf8));
  const bool valid = is_valid_cp949(cp);
  FUZZ_CHECK(valid == (utf8.find(kReplacement) == std::string::npos));
  if (valid) {
    FUZZ_CHECK(utf8_to_cp949(utf8) == cp);
    FUZZ_CHECK(utf16_to_cp949(cp949_to_utf16(cp)) == cp);
  }

  // Characters: one or two bytes each, the walk and the count agree.
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < cp.size(); ++count) {
    const std::size_t n = char_length_at(cp, pos);
    FUZZ_CHECK(n == 1 || n == 2);
    FUZZ_CHECK(pos + n <= cp.size());
    if (n == 2) FUZZ_CHECK(static_cast<unsigned char>(cp[pos]) >= 0x81);
    pos += n;
  }
  FUZZ_CHECK(char_length_at(cp, cp.size()) == 0);
  FUZZ_CHECK(count == char_count(cp));
  FUZZ_CHECK(count <= cp.size() && count * 2 >= cp.size());

  const std::string t = trim(cp);
  FUZZ_CHECK(cp.find(t) != std::string_view::npos);
  FUZZ_CHECK(t.empty() || (t.front() != ' ' && t.back() != ' '));
  FUZZ_CHECK(rtrim(ltrim(cp)) == t && ltrim(rtrim(cp)) == t);
}

void check_utf8(std::string_view utf8) {
  // Whatever comes in, what goes out is cp949 that converts back without
  // loss, and a second trip changes nothing.
  const std::string cp = utf8_to_cp949(utf8);
  FUZZ_CHECK(is_valid_cp949(cp));
  const std::string back = cp949_to_utf8(cp);
  FUZZ_CHECK(utf8_to_cp949(back) == cp);
  if (valid_utf8(utf8) && cp.find('?') == std::string::npos) FUZZ_CHECK(back == utf8);
}

void check_compare(std::string_view a, std::string_view b) {
  const auto sign = [](int v) { return (v > 0) - (v < 0); };
  FUZZ_CHECK(compare_nocase(a, a) == 0);
  FUZZ_CHECK(sign(compare_nocase(a, b)) == -sign(compare_nocase(b, a)));
  if (a == b) FUZZ_CHECK(compare_nocase(a, b) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view all = pink::fuzz::chars(pink::fuzz::bytes(data, size));
  check_cp949(all);
  check_utf8(all);
  FuzzedDataProvider in(data, size);
  const std::string a = in.ConsumeRandomLengthString(64);
  check_compare(a, in.ConsumeRemainingBytesAsString());
  // UTF-16 from the fuzzer's bytes, lone surrogates included.
  std::u16string wide;
  for (std::size_t i = 0; i + 1 < size && wide.size() < 256; i += 2) {
    wide.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  const std::string cp = utf16_to_cp949(wide);
  FUZZ_CHECK(is_valid_cp949(cp));
  FUZZ_CHECK(utf16_to_cp949(cp949_to_utf16(cp)) == cp);
  return 0;
}
