#include "payment/corvanavan/checksum.h"

namespace pink::corvanavan {

// The table's reflected polynomial is 0x8005 read backwards; the classic
// first entries pin it down.
static_assert(kCrc16ArcTable[1] == 0xC0C1 && kCrc16ArcTable[128] == 0xA001 &&
              kCrc16ArcTable[255] == 0x4040);

std::uint16_t crc16_arc(std::span<const std::uint8_t> data) {
  std::uint16_t crc = 0;
  for (std::uint8_t byte : data) {
    crc = static_cast<std::uint16_t>(kCrc16ArcTable[(crc ^ byte) & 0xFFu] ^ (crc >> 8));
  }
  return crc;
}

std::array<char, 4> checksum_digits(std::uint16_t crc) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[(crc >> 12) & 0xF], kDigits[(crc >> 8) & 0xF], kDigits[(crc >> 4) & 0xF],
          kDigits[crc & 0xF]};
}

}  // namespace pink::corvanavan
