// Text codec. Inside the suite text is cp949 (Windows Korean code page 949)
// bytes in std::string; conversion happens only at the boundaries: UTF-8 for
// Linux stores, terminals and file names, UTF-16 for Windows wide APIs.
//
// Windows converts with the system's table, which also gives the
// user-defined rows (lead bytes 0xC9 and 0xFE) characters of the private use
// area, so that such text survives the registry and other wide APIs; the
// Linux codec has no code for them and makes them U+FFFD. is_valid_cp949
// follows the Linux codec on both.
#pragma once

#include <string>
#include <string_view>

namespace pink::text {

// cp949 -> UTF-8. Bytes that are not valid cp949 become U+FFFD; nothing is
// dropped silently and the call never fails.
std::string cp949_to_utf8(std::string_view cp949);

// UTF-8 -> cp949. Characters without a cp949 code become '?' (as the Windows
// conversion does with its default character); invalid UTF-8 bytes become '?'.
std::string utf8_to_cp949(std::string_view utf8);

// cp949 <-> UTF-16 (Windows wide strings), through code page 949 explicitly.
std::u16string cp949_to_utf16(std::string_view cp949);
std::string utf16_to_cp949(std::u16string_view utf16);

// True when every character of the text is a single byte below 0x80 or an
// assigned double-byte character of code page 949 (exactly the texts that
// cp949_to_utf8 converts without a U+FFFD).
bool is_valid_cp949(std::string_view cp949);

// Length in characters: a byte 0x81..0xFE followed by a trail byte counts as
// one character (the way the POS run-time counts), any other byte as one.
// Trail bytes are 0x41..0x5A, 0x61..0x7A and 0x81..0xFE; none of them is an
// ASCII punctuation character, so '[', '=', ';', '\\' or '"' is never the
// second half of a double-byte character.
std::size_t char_count(std::string_view cp949);

// Byte length of the character starting at `pos` (1 or 2; 0 at or past the end).
std::size_t char_length_at(std::string_view cp949, std::size_t pos);

// Compares two texts with the ASCII letters of single-byte characters folded
// to lower case (the second byte of a double-byte character is never folded).
// Negative, zero or positive, like std::string_view::compare.
int compare_nocase(std::string_view a, std::string_view b);

// A Korean literal written in UTF-8 in the source, turned into cp949 once.
//   static const text::Literal kTitle{"포트OPEN:"};
//   send(kTitle.str());
class Literal {
 public:
  explicit Literal(std::string_view utf8);
  const std::string& str() const noexcept { return cp949_; }
  operator const std::string&() const noexcept { return cp949_; }

 private:
  std::string cp949_;
};

// Removes blanks (0x20 only, as the run-time's Trim does) from both ends /
// the right end / the left end.
std::string trim(std::string_view s);
std::string rtrim(std::string_view s);
std::string ltrim(std::string_view s);

}  // namespace pink::text
