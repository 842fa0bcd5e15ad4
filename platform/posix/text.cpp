// Text codec over iconv. Conversions never fail: a byte sequence that cannot
// be read becomes U+FFFD (towards Unicode) or '?' (towards cp949), and the
// conversion goes on behind it. Pure ASCII is copied without calling iconv.
#include <errno.h>
#include <iconv.h>

#include <bit>
#include <cstring>
#include <stdexcept>
#include <string>

#include "platform/text.h"

#include "platform/common/text_common.h"

namespace pink::text {
namespace {

constexpr const char* kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

enum Direction { kCp949ToUtf8, kUtf8ToCp949, kCp949ToUtf16, kUtf16ToCp949, kDirections };

// The conversion descriptors of one thread, opened at first use. A descriptor
// carries conversion state, so threads do not share them.
class Descriptors {
 public:
  Descriptors() {
    for (auto& cd : cd_) cd = invalid();
  }
  ~Descriptors() {
    for (auto cd : cd_) {
      if (cd != invalid()) ::iconv_close(cd);
    }
  }
  Descriptors(const Descriptors&) = delete;
  Descriptors& operator=(const Descriptors&) = delete;

  iconv_t get(Direction d) {
    if (cd_[d] == invalid()) {
      static constexpr const char* kTo[] = {"UTF-8", "CP949", kUtf16, "CP949"};
      static constexpr const char* kFrom[] = {"CP949", "UTF-8", "CP949", kUtf16};
      cd_[d] = ::iconv_open(kTo[d], kFrom[d]);
      if (cd_[d] == invalid()) {
        // Only an incomplete C library installation (no gconv modules) gets here.
        throw std::runtime_error(std::string("text codec: iconv cannot convert ") + kFrom[d] +
                                 " to " + kTo[d] + ": " + std::strerror(errno));
      }
    }
    ::iconv(cd_[d], nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    return cd_[d];
  }

 private:
  static iconv_t invalid() noexcept { return reinterpret_cast<iconv_t>(-1); }
  iconv_t cd_[kDirections];
};

iconv_t descriptor(Direction d) {
  thread_local Descriptors descriptors;
  return descriptors.get(d);
}

// What to do at a place iconv cannot convert: how many input bytes to step
// over and what to write for them.
struct Substitute {
  std::size_t skip;
  std::string_view bytes;
};

// Runs the conversion over `in`; `substitute(in, offset)` is asked at every
// place that cannot be converted (EILSEQ, or EINVAL for a sequence cut off by
// the end of the input). `reserve` is the expected output size in bytes.
template <class OnBad>
std::string convert(Direction d, std::string_view in, std::size_t reserve, OnBad substitute) {
  iconv_t cd = descriptor(d);
  std::string out(reserve + 16, '\0');
  std::size_t used = 0;
  std::size_t pos = 0;
  while (pos < in.size()) {
    char* ip = const_cast<char*>(in.data()) + pos;  // iconv does not write the input
    std::size_t in_left = in.size() - pos;
    char* op = out.data() + used;
    std::size_t out_left = out.size() - used;
    const std::size_t r = ::iconv(cd, &ip, &in_left, &op, &out_left);
    const int error = errno;
    pos = static_cast<std::size_t>(ip - in.data());
    used = static_cast<std::size_t>(op - out.data());
    if (r != static_cast<std::size_t>(-1)) break;
    if (error == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ or EINVAL (any other error is treated alike, so that the loop
    // always advances).
    const Substitute s = substitute(in, pos);
    if (out.size() - used < s.bytes.size()) out.resize(out.size() * 2 + s.bytes.size());
    std::memcpy(out.data() + used, s.bytes.data(), s.bytes.size());
    used += s.bytes.size();
    pos += s.skip;
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(used);
  return out;
}


// Length of the well-formed UTF-8 character at `pos`, or 0 when the bytes
// there are not one. `*bad` then receives the length of the ill-formed part
// (the longest start of a well-formed sequence, at least one byte), which
// becomes one '?' as the Windows conversion does.
std::size_t utf8_length_at(std::string_view s, std::size_t pos, std::size_t* bad) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  std::size_t need = 0;
  unsigned char lo = 0x80;
  unsigned char hi = 0xBF;
  if (b0 < 0x80) {
    return 1;
  } else if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;  // no UTF-16 surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    *bad = 1;
    return 0;
  }
  std::size_t n = 1;
  for (; n <= need; ++n) {
    if (pos + n >= s.size()) break;
    const auto b = static_cast<unsigned char>(s[pos + n]);
    const unsigned char l = n == 1 ? lo : 0x80;
    const unsigned char h = n == 1 ? hi : 0xBF;
    if (b < l || b > h) break;
  }
  if (n == need + 1) return n;
  *bad = n;
  return 0;
}

constexpr char kQuestion[] = "?";

// The C library's converters drop the Unicode tag characters (U+E0000 to
// U+E007F) without a word, where every other character cp949 has no code
// for becomes '?'. The text is converted in the pieces between them, each
// of them giving its '?', so that no character vanishes unmarked.
// `tag_at(i)` is the length in code units of a tag character at unit i, or 0.
template <class Char, class TagAt, class Convert>
std::string marking_tags(std::basic_string_view<Char> in, TagAt tag_at, Convert convert) {
  std::string out;
  std::size_t start = 0;
  for (std::size_t i = 0; i < in.size();) {
    const std::size_t tag = tag_at(in, i);
    if (tag == 0) {
      ++i;
      continue;
    }
    if (i > start) out += convert(in.substr(start, i - start));
    out += kQuestion;
    i += tag;
    start = i;
  }
  if (start == 0) return convert(in);
  if (start < in.size()) out += convert(in.substr(start));
  return out;
}

// F3 A0 80 80 .. F3 A0 81 BF
std::size_t utf8_tag_at(std::string_view s, std::size_t i) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
  return i + 3 < s.size() && at(0) == 0xF3 && at(1) == 0xA0 && (at(2) == 0x80 || at(2) == 0x81) &&
                 at(3) >= 0x80 && at(3) <= 0xBF
             ? 4
             : 0;
}

// DB40 DC00 .. DB40 DC7F
std::size_t utf16_tag_at(std::u16string_view s, std::size_t i) {
  return i + 1 < s.size() && s[i] == 0xDB40 && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDC7F ? 2 : 0;
}

std::u16string to_u16(const std::string& bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  return out;
}

}  // namespace

std::string cp949_to_utf8(std::string_view cp949) {
  if (detail::is_ascii(cp949)) return std::string(cp949);
  static constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
  return convert(kCp949ToUtf8, cp949, cp949.size() * 3 / 2,
                 [](std::string_view in, std::size_t pos) {
                   return Substitute{char_length_at(in, pos), {kReplacement, 3}};
                 });
}

std::string utf8_to_cp949(std::string_view utf8) {
  if (detail::is_ascii(utf8)) return std::string(utf8);
  return marking_tags(utf8, utf8_tag_at, [](std::string_view piece) {
    return convert(kUtf8ToCp949, piece, piece.size(), [](std::string_view in, std::size_t pos) {
      std::size_t bad = 0;
      const std::size_t n = utf8_length_at(in, pos, &bad);
      // A well-formed character that cp949 has no code for, or an ill-formed
      // sequence: one '?' either way.
      return Substitute{n != 0 ? n : bad, {kQuestion, 1}};
    });
  });
}

std::u16string cp949_to_utf16(std::string_view cp949) {
  if (detail::is_ascii(cp949)) return std::u16string(cp949.begin(), cp949.end());
  static constexpr char16_t kReplacement = u'\uFFFD';
  static const std::string replacement(reinterpret_cast<const char*>(&kReplacement), 2);
  return to_u16(convert(kCp949ToUtf16, cp949, cp949.size() * 2,
                        [](std::string_view in, std::size_t pos) {
                          return Substitute{char_length_at(in, pos), replacement};
                        }));
}

std::string utf16_to_cp949(std::u16string_view utf16) {
  if (detail::is_ascii(utf16)) {
    std::string out(utf16.size(), '\0');
    for (std::size_t i = 0; i < utf16.size(); ++i) out[i] = static_cast<char>(utf16[i]);
    return out;
  }
  return marking_tags(utf16, utf16_tag_at, [](std::u16string_view piece) {
    const std::string_view bytes(reinterpret_cast<const char*>(piece.data()), piece.size() * 2);
    return convert(kUtf16ToCp949, bytes, piece.size() * 2, [piece](std::string_view, std::size_t pos) {
      // A surrogate pair without a cp949 code is one character, hence one '?';
      // a lone surrogate is one '?' too.
      const std::size_t unit = pos / 2;
      const char16_t u = piece[unit];
      const bool pair = u >= 0xD800 && u <= 0xDBFF && unit + 1 < piece.size() &&
                        piece[unit + 1] >= 0xDC00 && piece[unit + 1] <= 0xDFFF;
      return Substitute{pair ? 4u : 2u, {kQuestion, 1}};
    });
  });
}

}  // namespace pink::text
