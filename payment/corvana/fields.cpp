#include "payment/corvana/fields.h"

#include <algorithm>
#include <array>

#include "platform/failure.h"

namespace pink::corvana {
namespace {

constexpr std::uint8_t kCard = kInCF | kInCS;
constexpr std::uint8_t kAll = kInCF | kInCS | kInRF;

constexpr FieldDef fixed(std::uint8_t n, std::uint8_t length, std::uint8_t kinds = 0,
                          std::string_view absent = {}) {
  return {n, Form::Fixed, length, kinds, absent};
}
constexpr FieldDef ll(std::uint8_t n, std::uint8_t kinds = 0, std::string_view absent = {}) {
  return {n, Form::LL, 0, kinds, absent};
}
constexpr FieldDef lll(std::uint8_t n, std::uint8_t kinds = 0, std::string_view absent = {}) {
  return {n, Form::LLL, 0, kinds, absent};
}

constexpr std::array kFields{
    fixed(3, 6, kAll, "000000"),
    fixed(4, 12, kCard, "000000000000"),
    fixed(5, 12, kCard, "000000000000"),
    fixed(6, 12),
    fixed(7, 10, kCard, "0000000000"),
    fixed(8, 8, kCard, "00000000"),
    fixed(9, 8, kCard, "00000000"),
    fixed(10, 8),
    fixed(11, 6),
    fixed(12, 6, kCard, "000000"),
    fixed(13, 4, kCard, "0000"),
    fixed(14, 4, kCard, "0000"),
    fixed(15, 4),
    fixed(22, 3),
    fixed(24, 5),
    fixed(25, 2),
    fixed(26, 2),
    fixed(27, 1, kCard, "0"),
    fixed(32, 13),
    ll(35),
    lll(36),
    fixed(37, 12),
    fixed(38, 6),
    fixed(39, 2, kAll, "00"),
    fixed(40, 3, kCard, "000"),
    fixed(41, 8),
    fixed(42, 15, kCard, "000000000000000"),
    fixed(43, 40, kCard, "0000000000000000000000000000000000000000"),
    ll(44, kCard, "000"),
    ll(45),
    lll(46),
    fixed(47, 33),
    fixed(53, 16),
    lll(54),
    lll(56, kAll, "000"),
    lll(57, kAll, "000"),
    lll(58, kInRF, "000"),
    lll(63, kAll, "000"),
};

constexpr bool table_is_sound() {
  int previous = 0;
  for (const auto& f : kFields) {
    if (f.number <= previous || f.number > 64) return false;
    previous = f.number;
    if (f.form == Form::Fixed && f.length == 0) return false;
    if ((f.kinds != 0) == f.absent_text.empty()) return false;
    // A fixed field's default fills the field's place exactly.
    if (f.form == Form::Fixed && f.kinds != 0 && f.absent_text.size() != f.length) return false;
  }
  return true;
}
static_assert(table_is_sound(), "fields in order, each listed one with a default of its size");

std::size_t prefix_digits(Form form) { return form == Form::LL ? 2 : 3; }

// Byte length of a field at the front of `rest`.
std::size_t field_length(const FieldDef& f, std::string_view rest) {
  if (f.form == Form::Fixed) return f.length;
  const std::size_t digits = prefix_digits(f.form);
  // The prefix is read as characters; a character of two bytes is never a
  // digit, so checking bytes is the same.
  if (rest.size() < digits ||
      !std::all_of(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(digits),
                   [](char c) { return c >= '0' && c <= '9'; })) {
    throw Failure(Err::TypeMismatch, describe(Err::TypeMismatch),
                  "field " + std::to_string(f.number) + ": length prefix is not a number");
  }
  std::size_t value = 0;
  for (std::size_t i = 0; i < digits; ++i) value = value * 10 + static_cast<std::size_t>(rest[i] - '0');
  return value + digits;
}

}  // namespace

std::string expand_bitmap(std::string_view bitmap) {
  std::string bits;
  bits.reserve(bitmap.size() * 4);
  for (const char c : bitmap) {
    int value = -1;
    if (c >= '0' && c <= '9') value = c - '0';
    if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
    if (value < 0) continue;
    for (int shift = 3; shift >= 0; --shift) bits += ((value >> shift) & 1) ? '1' : '0';
  }
  return bits;
}

FieldWalk walk_fields(std::string_view data_area, std::string_view bits, Kind kind) {
  const std::uint8_t kind_bit = static_cast<std::uint8_t>(1u << static_cast<unsigned>(kind));
  FieldWalk out;
  std::string_view rest = data_area;
  for (const FieldDef& f : kFields) {
    const std::size_t bit = f.number - 1u;
    const bool set = bit < bits.size() && bits[bit] == '1';
    std::string_view text;
    if (set) {
      const std::size_t length = field_length(f, rest);
      if (length > rest.size()) {
        throw Failure(Err::SubscriptOutOfRange, describe(Err::SubscriptOutOfRange),
                      "field " + std::to_string(f.number) + " needs " + std::to_string(length) +
                          " bytes, " + std::to_string(rest.size()) + " left");
      }
      text = rest.substr(0, length);
      rest.remove_prefix(length);
    }
    out.taken += text;
    if (f.kinds & kind_bit) out.normalised += text.empty() ? f.absent_text : text;
  }
  return out;
}

}  // namespace pink::corvana
