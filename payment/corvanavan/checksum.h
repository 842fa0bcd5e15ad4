// The message checksum: CRC-16/ARC (polynomial 0x8005 reflected, initial
// value 0, no final XOR), byte-wise through a 256-entry table, shown as four
// upper-case hexadecimal digits, most significant first.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace pink::corvanavan {

namespace detail {
constexpr std::array<std::uint16_t, 256> make_crc16_arc_table() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1u) ? (crc >> 1) ^ 0xA001u : crc >> 1;
    table[i] = static_cast<std::uint16_t>(crc);
  }
  return table;
}
}  // namespace detail

inline constexpr std::array<std::uint16_t, 256> kCrc16ArcTable = detail::make_crc16_arc_table();

std::uint16_t crc16_arc(std::span<const std::uint8_t> data);

// The four digits of `crc` ("BB3D"), no terminating zero.
std::array<char, 4> checksum_digits(std::uint16_t crc);

}  // namespace pink::corvanavan
