#include "payment/corvana/message.h"

#include <limits>

#include "platform/failure.h"
#include "platform/text.h"

namespace pink::corvana {

std::size_t char_bytes(std::string_view text, std::size_t pos) noexcept {
  if (pos >= text.size()) return 0;
  const auto lead = static_cast<unsigned char>(text[pos]);
  return (lead >= 0x80 && pos + 1 < text.size()) ? 2 : 1;
}

std::size_t char_count(std::string_view text) noexcept {
  std::size_t n = 0;
  for (std::size_t pos = 0; pos < text.size(); pos += char_bytes(text, pos)) ++n;
  return n;
}

std::string_view mid(std::string_view text, std::size_t first, std::size_t count) noexcept {
  std::size_t begin = 0;
  for (std::size_t i = 1; i < first && begin < text.size(); ++i) begin += char_bytes(text, begin);
  if (begin >= text.size()) return {};
  std::size_t end = begin;
  for (std::size_t i = 0; i < count && end < text.size(); ++i) end += char_bytes(text, end);
  return text.substr(begin, end - begin);
}

std::string_view checksum_input(std::string_view request) noexcept { return mid(request, 3); }

std::string request_message(std::string_view request, const std::array<char, 4>& checksum) {
  std::string message(request);
  message += "004";
  message.append(checksum.data(), checksum.size());
  return message;
}

std::string response_text(std::span<const std::uint8_t> buffer, std::int32_t count) {
  if (count < 0) count = 0;
  const std::size_t looked_at =
      std::min(buffer.size(), static_cast<std::size_t>(count) + 1);
  std::string text;
  for (std::size_t pos = 0; pos < looked_at;) {
    const std::uint8_t c = buffer[pos];
    if (c == 0) break;
    if (c >= 0x80) {
      if (pos + 1 >= looked_at || buffer[pos + 1] == 0) break;
      text += static_cast<char>(c);
      text += static_cast<char>(buffer[pos + 1]);
      pos += 2;
    } else {
      text += static_cast<char>(c);
      ++pos;
    }
  }
  return text;
}

bool is_blank(std::string_view text) noexcept {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

std::string_view message_type(std::string_view response) noexcept { return mid(response, 13, 4); }

std::optional<Kind> response_kind(std::string_view response) noexcept {
  const std::string_view type = message_type(response);
  if (type == "9910") return Kind::RF;
  if (type != "0910") return std::nullopt;
  const std::string_view deal = mid(response, 33, 2);
  if (deal == "10") return Kind::CF;
  if (deal == "11") return Kind::CS;
  return std::nullopt;
}

std::string_view bitmap_text(std::string_view response) noexcept { return mid(response, 17, 16); }

std::string_view data_area(std::string_view response) noexcept { return mid(response, 33); }

namespace {

std::int16_t parse_short(std::string_view text) {
  const std::string t = pink::text::trim(text);
  std::size_t pos = 0;
  bool negative = false;
  if (pos < t.size() && (t[pos] == '-' || t[pos] == '+')) negative = t[pos++] == '-';
  if (pos == t.size()) throw Failure(Err::TypeMismatch, describe(Err::TypeMismatch), "port: " + t);
  long value = 0;
  for (; pos < t.size(); ++pos) {
    if (t[pos] < '0' || t[pos] > '9') {
      throw Failure(Err::TypeMismatch, describe(Err::TypeMismatch), "port: " + t);
    }
    if (value <= 32768) value = value * 10 + (t[pos] - '0');
  }
  if (negative) value = -value;
  if (value < std::numeric_limits<std::int16_t>::min() ||
      value > std::numeric_limits<std::int16_t>::max()) {
    throw Failure(Err::Overflow, describe(Err::Overflow), "port: " + t);
  }
  return static_cast<std::int16_t>(value);
}

}  // namespace

Command parse_command(std::string_view line) {
  std::string_view parts[3];
  std::size_t n = 0;
  std::size_t start = 0;
  while (n < 3) {
    const std::size_t slash = line.find('/', start);
    parts[n++] = line.substr(start, slash == std::string_view::npos ? slash : slash - start);
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  if (n < 3) {
    throw Failure(Err::SubscriptOutOfRange, describe(Err::SubscriptOutOfRange),
                  "command line has " + std::to_string(n) + " of 3 parts (job/address/port)");
  }
  return Command{std::string(parts[0]), std::string(parts[1]), parse_short(parts[2])};
}

std::int16_t short_length(std::size_t bytes) {
  if (bytes > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
    throw Failure(Err::Overflow, describe(Err::Overflow),
                  std::to_string(bytes) + " bytes do not fit a 16-bit length");
  }
  return static_cast<std::int16_t>(bytes);
}

}  // namespace pink::corvana
