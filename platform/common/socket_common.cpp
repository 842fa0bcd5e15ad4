#include "platform/common/socket_common.h"

#include "platform/socket.h"

namespace pink::net {

long Socket::send(std::string_view bytes) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  return send(std::span<const std::uint8_t>(p, bytes.size()));
}

// Exactly four parts of one to three decimal digits, each 0..255. A part with
// a leading zero ("010") is refused: the classic address parsers read it as
// octal, so such an address would reach a different host on another machine.
std::optional<std::uint32_t> parse_ipv4(std::string_view text) {
  std::uint32_t value = 0;
  std::size_t pos = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (pos >= text.size() || text[pos] != '.') return std::nullopt;
      ++pos;
    }
    const std::size_t start = pos;
    unsigned n = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3) {
      n = n * 10 + static_cast<unsigned>(text[pos] - '0');
      ++pos;
    }
    const std::size_t digits = pos - start;
    if (digits == 0 || n > 255) return std::nullopt;
    if (digits > 1 && text[start] == '0') return std::nullopt;
    value = (value << 8) | n;
  }
  if (pos != text.size()) return std::nullopt;
  return value;
}

std::string format_ipv4(std::uint32_t address) {
  std::string out;
  for (int shift = 24; shift >= 0; shift -= 8) {
    if (shift != 24) out += '.';
    out += std::to_string((address >> shift) & 0xFFu);
  }
  return out;
}

Result<std::uint32_t> detail::address_of(std::string_view ipv4) {
  if (const auto address = parse_ipv4(ipv4)) return *address;
  return Result<std::uint32_t>::failure("not a dotted IPv4 address: " + std::string(ipv4));
}

}  // namespace pink::net
