#include "display/driver.h"

#include <algorithm>

#include "display/sequences.h"

namespace pink::display {
namespace {

constexpr std::uint8_t kSpace = 0x20;
constexpr std::uint8_t kDoubleByteLead = 0x7F;  // this byte and above open a two-byte character

void append(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

std::span<const std::uint8_t> bounded_text(const char* text, std::size_t max) noexcept {
  if (text == nullptr) return {};
  std::size_t n = 0;
  while (n < max && text[n] != '\0') ++n;
  return {reinterpret_cast<const std::uint8_t*>(text), n};
}

std::int32_t clamp_row(std::int32_t line) noexcept { return std::clamp(line, kFirstRow, kLastRow); }

void fix_double_byte(std::span<std::uint8_t> field) noexcept {
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] < kDoubleByteLead) continue;
    if (i + 1 == field.size()) {
      field[i] = kSpace;
    } else {
      ++i;  // the second half of the character
    }
  }
}

std::vector<std::uint8_t> raw_write(std::span<const std::uint8_t> text, std::int32_t length) {
  std::array<std::uint8_t, kRawBuffer> buffer{};
  const std::size_t taken = std::min(text.size(), kRawTextMax);
  std::copy_n(text.begin(), taken, buffer.begin());
  const auto sent_text = static_cast<std::size_t>(std::clamp<std::int32_t>(length, 0, kRawTextMax));
  return {buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(sent_text + 1)};
}

std::vector<std::uint8_t> formatted_write(const Driver& driver, std::int32_t line,
                                          std::span<const std::uint8_t> text) {
  const std::int32_t row = clamp_row(line);
  std::vector<std::uint8_t> out;
  out.reserve(6 + driver.field_bytes);
  switch (driver.writer) {
    case Writer::Position:
      append(out, seq::position(1, static_cast<std::uint8_t>(row)));
      break;
    case Writer::BraceCursor:
      append(out, seq::brace_cursor_row(row));
      break;
    case Writer::Raw:
      return raw_write(text, static_cast<std::int32_t>(text.size()));
  }
  const std::size_t field_start = out.size();
  out.resize(field_start + driver.field_bytes, kSpace);
  const std::span<std::uint8_t> field(out.data() + field_start, driver.field_bytes);
  std::copy_n(text.begin(), std::min(text.size(), field.size()), field.begin());
  fix_double_byte(field);
  return out;
}

}  // namespace pink::display
