// The OS-independent half of the text codec: character boundaries, blanks,
// case folding and the table of assigned cp949 double-byte codes.
#include <array>
#include <cstdint>

#include "platform/text.h"

#include "platform/common/text_common.h"

namespace pink::text {
namespace {

constexpr bool is_lead(unsigned char c) noexcept { return c >= 0x81 && c <= 0xFE; }

constexpr bool is_trail(unsigned char c) noexcept {
  return (c >= 0x41 && c <= 0x5A) || (c >= 0x61 && c <= 0x7A) || (c >= 0x81 && c <= 0xFE);
}

// Assigned double-byte codes of code page 949, as runs of trail bytes per
// range of lead bytes. Leads 0x81..0xC6 carry the extended Hangul of the
// unified code in trails 0x41..0xA0; leads 0xA1..0xFE carry the KS X 1001
// rows in trails 0xA1..0xFE, some of which are only partly assigned. The rows
// of leads 0xC9 and 0xFE are the user-defined area and have no assigned code.
struct TrailRun {
  std::uint8_t first;
  std::uint8_t last;
};

struct LeadRows {
  std::uint8_t lead_first;
  std::uint8_t lead_last;
  std::array<TrailRun, 6> runs;  // unused runs are {0, 0}
};

constexpr TrailRun kAlpha[] = {{0x41, 0x5A}, {0x61, 0x7A}};

constexpr std::array kAssigned{
    LeadRows{0x81, 0xA1, {{kAlpha[0], kAlpha[1], {0x81, 0xFE}}}},
    LeadRows{0xA2, 0xA2, {{kAlpha[0], kAlpha[1], {0x81, 0xE7}}}},
    LeadRows{0xA3, 0xA4, {{kAlpha[0], kAlpha[1], {0x81, 0xFE}}}},
    LeadRows{0xA5, 0xA5, {{kAlpha[0], kAlpha[1], {0x81, 0xAA}, {0xB0, 0xB9}, {0xC1, 0xD8}, {0xE1, 0xF8}}}},
    LeadRows{0xA6, 0xA6, {{kAlpha[0], kAlpha[1], {0x81, 0xE4}}}},
    LeadRows{0xA7, 0xA7, {{kAlpha[0], kAlpha[1], {0x81, 0xEF}}}},
    LeadRows{0xA8, 0xA8, {{kAlpha[0], kAlpha[1], {0x81, 0xA4}, {0xA6, 0xA6}, {0xA8, 0xAF}, {0xB1, 0xFE}}}},
    LeadRows{0xA9, 0xA9, {{kAlpha[0], kAlpha[1], {0x81, 0xFE}}}},
    LeadRows{0xAA, 0xAA, {{kAlpha[0], kAlpha[1], {0x81, 0xF3}}}},
    LeadRows{0xAB, 0xAB, {{kAlpha[0], kAlpha[1], {0x81, 0xF6}}}},
    LeadRows{0xAC, 0xAC, {{kAlpha[0], kAlpha[1], {0x81, 0xC1}, {0xD1, 0xF1}}}},
    LeadRows{0xAD, 0xAF, {{kAlpha[0], kAlpha[1], {0x81, 0xA0}}}},
    LeadRows{0xB0, 0xC5, {{kAlpha[0], kAlpha[1], {0x81, 0xFE}}}},
    LeadRows{0xC6, 0xC6, {{{0x41, 0x52}, {0xA1, 0xFE}}}},
    LeadRows{0xC7, 0xC8, {{{0xA1, 0xFE}}}},
    LeadRows{0xCA, 0xFD, {{{0xA1, 0xFE}}}},
};

bool is_assigned(unsigned char lead, unsigned char trail) noexcept {
  for (const auto& rows : kAssigned) {
    if (lead < rows.lead_first || lead > rows.lead_last) continue;
    for (const auto& run : rows.runs) {
      if (run.last != 0 && trail >= run.first && trail <= run.last) return true;
    }
    return false;
  }
  return false;
}

constexpr unsigned char fold(unsigned char c) noexcept {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

}  // namespace

Literal::Literal(std::string_view utf8) : cp949_(utf8_to_cp949(utf8)) {}

std::string ltrim(std::string_view s) {
  const auto first = s.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string() : std::string(s.substr(first));
}

std::string rtrim(std::string_view s) {
  const auto last = s.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string() : std::string(s.substr(0, last + 1));
}

std::string trim(std::string_view s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(' ');
  return std::string(s.substr(first, last - first + 1));
}

std::size_t char_length_at(std::string_view cp949, std::size_t pos) {
  if (pos >= cp949.size()) return 0;
  const auto lead = static_cast<unsigned char>(cp949[pos]);
  if (is_lead(lead) && pos + 1 < cp949.size() &&
      is_trail(static_cast<unsigned char>(cp949[pos + 1]))) {
    return 2;
  }
  return 1;
}

std::size_t char_count(std::string_view cp949) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < cp949.size(); i += char_length_at(cp949, i)) ++count;
  return count;
}

bool is_valid_cp949(std::string_view cp949) {
  for (std::size_t i = 0; i < cp949.size();) {
    const auto c = static_cast<unsigned char>(cp949[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    if (i + 1 >= cp949.size() || !is_assigned(c, static_cast<unsigned char>(cp949[i + 1]))) {
      return false;
    }
    i += 2;
  }
  return true;
}

int compare_nocase(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const std::size_t na = char_length_at(a, i);
    const std::size_t nb = char_length_at(b, j);
    for (std::size_t k = 0; k < na && k < nb; ++k) {
      auto ca = static_cast<unsigned char>(a[i + k]);
      auto cb = static_cast<unsigned char>(b[j + k]);
      if (na == 1 && nb == 1) {
        ca = fold(ca);
        cb = fold(cb);
      }
      if (ca != cb) return ca < cb ? -1 : 1;
    }
    // Same first bytes: a single byte sorts before a pair that starts with it.
    if (na != nb) return na < nb ? -1 : 1;
    i += na;
    j += nb;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

namespace detail {

bool is_ascii(std::string_view s) noexcept {
  for (const char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool is_ascii(std::u16string_view s) noexcept {
  for (const char16_t c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

}  // namespace detail

}  // namespace pink::text
