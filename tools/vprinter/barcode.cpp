#include "tools/vprinter/barcode.h"

#include <array>
#include <optional>

namespace pink::vprinter {
namespace {

// CODE39: each character is nine elements (bar, space ... bar), three of them
// wide; bit 8 is the first element, a set bit a wide one.
struct Code39Char {
  char c;
  std::uint16_t wide;
};
constexpr std::array<Code39Char, 44> kCode39{{
    {'0', 0x034}, {'1', 0x121}, {'2', 0x061}, {'3', 0x160}, {'4', 0x031}, {'5', 0x130},
    {'6', 0x070}, {'7', 0x025}, {'8', 0x124}, {'9', 0x064}, {'A', 0x109}, {'B', 0x049},
    {'C', 0x148}, {'D', 0x019}, {'E', 0x118}, {'F', 0x058}, {'G', 0x00D}, {'H', 0x10C},
    {'I', 0x04C}, {'J', 0x01C}, {'K', 0x103}, {'L', 0x043}, {'M', 0x142}, {'N', 0x013},
    {'O', 0x112}, {'P', 0x052}, {'Q', 0x007}, {'R', 0x106}, {'S', 0x046}, {'T', 0x016},
    {'U', 0x181}, {'V', 0x0C1}, {'W', 0x1C0}, {'X', 0x091}, {'Y', 0x190}, {'Z', 0x0D0},
    {'-', 0x085}, {'.', 0x184}, {' ', 0x0C4}, {'$', 0x0A8}, {'/', 0x0A2}, {'+', 0x08A},
    {'%', 0x02A}, {'*', 0x094},
}};

// CODE128: the element widths of each symbol value (six elements; the stop
// symbol 106 has seven).
constexpr std::array<std::string_view, 107> kCode128{{
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213",
    "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132",
    "221231", "213212", "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211",
    "212123", "212321", "232121", "111323", "131123", "131321", "112313", "132113", "132311", "211313",
    "231113", "231311", "112133", "112331", "132131", "113123", "113321", "133121", "313121", "211331",
    "231131", "213113", "213311", "213131", "311123", "311321", "331121", "312113", "312311", "332111",
    "314111", "221411", "431111", "111224", "111422", "121124", "121421", "141122", "141221", "112214",
    "112412", "122114", "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111",
    "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311", "113141",
    "114131", "311141", "411131", "211412", "211214", "211232", "2331112",
}};
constexpr std::uint32_t kStartA = 103, kStartB = 104, kStartC = 105, kStop = 106;
constexpr std::uint32_t kCodeA = 101, kCodeB = 100, kCodeC = 99, kShift = 98;
constexpr std::uint32_t kFnc1 = 102, kFnc2 = 97, kFnc3 = 96;

// EAN/UPC: the seven modules of each digit in the left-hand odd set (L);
// the right-hand set is its complement, the even set (G) that reversed.
constexpr std::array<std::string_view, 10> kEanL{"0001101", "0011001", "0010011", "0111101", "0100011",
                                                 "0110001", "0101111", "0111011", "0110111", "0001011"};
// Which left digits of an EAN13 use the G set, by the leading digit ('G').
constexpr std::array<std::string_view, 10> kEanParity{"LLLLLL", "LLGLGG", "LLGGLG", "LLGGGL", "LGLLGG",
                                                      "LGGLLG", "LGGGLL", "LGLGLG", "LGLGGL", "LGGLGL"};

// ITF: the five elements of each digit, 'w' wide.
constexpr std::array<std::string_view, 10> kItf{"nnwwn", "wnnnw", "nwnnw", "wwnnn", "nnwnw",
                                                "wnwnn", "nwwnn", "nnnww", "wnnwn", "nwnwn"};

Bars failed(std::string why) {
  Bars b;
  b.error = std::move(why);
  return b;
}

bool all_digits(std::string_view s) {
  for (const char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Adds a module string ("0101...") as elements, merging equal neighbours.
void add_modules(std::vector<std::uint8_t>& out, bool& last_bar, std::string_view modules) {
  for (const char m : modules) {
    const bool bar = m == '1';
    if (!out.empty() && bar == last_bar) {
      ++out.back();
    } else {
      out.push_back(1);
      last_bar = bar;
    }
  }
}

// The check digit of an EAN/UPC body: weights 3 and 1 from the right.
int ean_check(std::string_view body) {
  int sum = 0;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const int d = body[body.size() - 1 - i] - '0';
    sum += d * (i % 2 == 0 ? 3 : 1);
  }
  return (10 - sum % 10) % 10;
}

// The full digit string with its check digit, or nothing when the data are
// not `body` or `body` + 1 digits with a right check digit.
std::optional<std::string> with_check(std::string_view digits, std::size_t body, std::string& why) {
  if (!all_digits(digits) || (digits.size() != body && digits.size() != body + 1)) {
    why = "takes " + std::to_string(body) + " or " + std::to_string(body + 1) + " digits";
    return std::nullopt;
  }
  const char check = static_cast<char>('0' + ean_check(digits.substr(0, body)));
  if (digits.size() == body + 1 && digits[body] != check) {
    why = std::string("wrong check digit (") + check + " expected)";
    return std::nullopt;
  }
  return std::string(digits.substr(0, body)) + check;
}

std::string ean_digit(char d, char set) {
  std::string m(kEanL[static_cast<std::size_t>(d - '0')]);
  if (set == 'L') return m;
  for (char& c : m) c = c == '1' ? '0' : '1';  // R
  if (set == 'G') return {m.rbegin(), m.rend()};
  return m;
}

// Guards, the left half in `sets`, the centre guard, the right half in R.
Bars ean_bars(std::string_view left, std::string_view sets, std::string_view right) {
  Bars b;
  bool bar = false;
  add_modules(b.elements, bar, "101");
  for (std::size_t i = 0; i < left.size(); ++i) add_modules(b.elements, bar, ean_digit(left[i], sets[i]));
  add_modules(b.elements, bar, "01010");
  for (const char d : right) add_modules(b.elements, bar, ean_digit(d, 'R'));
  add_modules(b.elements, bar, "101");
  return b;
}

}  // namespace

Bars encode_code39(std::string_view data) {
  // The printer adds the start and stop '*' itself; data may bring them.
  if (data.size() >= 2 && data.front() == '*' && data.back() == '*') data = data.substr(1, data.size() - 2);
  if (data.empty()) return failed("no data");
  Bars b;
  b.two_widths = true;
  const auto add = [&](std::uint16_t wide) {
    if (!b.elements.empty()) b.elements.push_back(1);  // the gap between characters
    for (int bit = 8; bit >= 0; --bit) b.elements.push_back((wide >> bit) & 1 ? 2 : 1);
  };
  const std::uint16_t star = kCode39.back().wide;
  add(star);
  for (const char c : data) {
    const Code39Char* found = nullptr;
    for (const auto& e : kCode39) {
      if (e.c == c && c != '*') found = &e;
    }
    if (found == nullptr) {
      return failed(std::string("character ") + (c >= 0x20 && c < 0x7F ? std::string(1, c) : "<" + std::to_string(static_cast<unsigned char>(c)) + ">") + " is not in CODE39");
    }
    add(found->wide);
  }
  add(star);
  b.hri = "*" + std::string(data) + "*";
  return b;
}

std::uint32_t code128_check(std::uint32_t start, const std::vector<std::uint32_t>& values) {
  std::uint32_t sum = start;
  for (std::size_t i = 0; i < values.size(); ++i) sum += values[i] * static_cast<std::uint32_t>(i + 1);
  return sum % 103;
}

Bars encode_code128(std::string_view data) {
  if (data.size() < 2 || data[0] != '{' || (data[1] != 'A' && data[1] != 'B' && data[1] != 'C')) {
    return failed("CODE128 data begin with {A, {B or {C");
  }
  char set = data[1];
  const std::uint32_t start = set == 'A' ? kStartA : set == 'B' ? kStartB : kStartC;
  std::vector<std::uint32_t> values;
  std::string hri;
  bool shifted = false;
  for (std::size_t i = 2; i < data.size(); ++i) {
    auto c = static_cast<std::uint8_t>(data[i]);
    if (c == '{') {
      if (++i == data.size()) return failed("CODE128 data end inside a {x pair");
      const char f = data[i];
      if (f == 'A' || f == 'B' || f == 'C') {
        if (f != set) values.push_back(f == 'A' ? kCodeA : f == 'B' ? kCodeB : kCodeC);
        set = f;
        continue;
      }
      if (f == 'S' && set != 'C') { values.push_back(kShift); shifted = true; continue; }
      if (f == '1') { values.push_back(kFnc1); continue; }
      if (f == '2' && set != 'C') { values.push_back(kFnc2); continue; }
      if (f == '3' && set != 'C') { values.push_back(kFnc3); continue; }
      if (f == '4' && set != 'C') { values.push_back(set == 'A' ? kCodeA : kCodeB); continue; }
      if (f != '{') return failed(std::string("CODE128 has no {") + f);
      c = '{';
    }
    const char now = shifted ? (set == 'A' ? 'B' : 'A') : set;
    shifted = false;
    if (now == 'C') {
      if (c > 99) return failed("CODE128 code set C takes values 0..99");
      values.push_back(c);
      hri += static_cast<char>('0' + c / 10);
      hri += static_cast<char>('0' + c % 10);
    } else if (now == 'A' && c < 0x60) {
      values.push_back(c < 0x20 ? c + 64u : c - 32u);
      hri += c < 0x20 ? ' ' : static_cast<char>(c);
    } else if (now == 'B' && c >= 0x20 && c < 0x80) {
      values.push_back(c - 32u);
      hri += c == 0x7F ? ' ' : static_cast<char>(c);
    } else {
      return failed(std::string("CODE128 code set ") + now + " has no byte " + std::to_string(c));
    }
  }
  if (values.empty()) return failed("no data");
  Bars b;
  const auto add = [&](std::uint32_t v) {
    for (const char w : kCode128[v]) b.elements.push_back(static_cast<std::uint8_t>(w - '0'));
  };
  add(start);
  for (const auto v : values) add(v);
  add(code128_check(start, values));
  add(kStop);
  b.hri = std::move(hri);
  return b;
}

Bars encode_ean13(std::string_view digits) {
  std::string why;
  const auto all = with_check(digits, 12, why);
  if (!all) return failed("JAN13 (EAN13) " + why);
  Bars b = ean_bars(std::string_view(*all).substr(1, 6), kEanParity[static_cast<std::size_t>((*all)[0] - '0')],
                    std::string_view(*all).substr(7));
  b.hri = *all;
  return b;
}

Bars encode_upca(std::string_view digits) {
  std::string why;
  const auto all = with_check(digits, 11, why);
  if (!all) return failed("UPC-A " + why);
  Bars b = ean_bars(std::string_view(*all).substr(0, 6), "LLLLLL", std::string_view(*all).substr(6));
  b.hri = *all;
  return b;
}

Bars encode_ean8(std::string_view digits) {
  std::string why;
  const auto all = with_check(digits, 7, why);
  if (!all) return failed("JAN8 (EAN8) " + why);
  Bars b = ean_bars(std::string_view(*all).substr(0, 4), "LLLL", std::string_view(*all).substr(4));
  b.hri = *all;
  return b;
}

Bars encode_itf(std::string_view digits) {
  if (digits.empty() || digits.size() % 2 != 0 || !all_digits(digits)) {
    return failed("ITF takes an even number of digits");
  }
  Bars b;
  b.two_widths = true;
  b.elements = {1, 1, 1, 1};  // start: narrow bar, space, bar, space
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    const std::string_view bars = kItf[static_cast<std::size_t>(digits[i] - '0')];
    const std::string_view spaces = kItf[static_cast<std::size_t>(digits[i + 1] - '0')];
    for (std::size_t k = 0; k < 5; ++k) {
      b.elements.push_back(bars[k] == 'w' ? 2 : 1);
      b.elements.push_back(spaces[k] == 'w' ? 2 : 1);
    }
  }
  b.elements.insert(b.elements.end(), {2, 1, 1});  // stop: wide bar, space, bar
  b.hri = std::string(digits);
  return b;
}

Bars encode_bar_code(std::uint32_t m, std::string_view data) {
  switch (m >= 65 ? m - 65 : m) {
    case 0: return encode_upca(data);
    case 2: return encode_ean13(data);
    case 3: return encode_ean8(data);
    case 4: return encode_code39(data);
    case 5: return encode_itf(data);
    case 8:
      if (m == 73) return encode_code128(data);
      break;
    default:
      break;
  }
  return failed("this bar code system is not drawn");
}

std::uint32_t wide_dots(std::uint32_t module) { return (5 * module + 1) / 2; }

std::uint32_t bars_width(const Bars& bars, std::uint32_t module) {
  std::uint32_t w = 0;
  for (const auto e : bars.elements) {
    w += bars.two_widths ? (e == 2 ? wide_dots(module) : module) : e * module;
  }
  return w;
}

}  // namespace pink::vprinter
