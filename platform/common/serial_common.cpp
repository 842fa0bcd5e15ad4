// The parts of the serial port that are the same on every platform.
#include "platform/serial.h"

namespace pink::serial {

WriteResult Port::write(std::string_view bytes, std::uint32_t wait_ms) {
  return write(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                             bytes.size()),
               wait_ms);
}

int port_number(std::string_view name) {
  // "COM" in any case, then 1 to 256 written without leading zeros: the
  // names the system itself gives its serial ports.
  if (name.size() < 4 || name.size() > 6) return 0;
  auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
  if (upper(name[0]) != 'C' || upper(name[1]) != 'O' || upper(name[2]) != 'M') return 0;
  const std::string_view digits = name.substr(3);
  if (digits[0] == '0') return 0;
  int n = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n <= 256 ? n : 0;
}

}  // namespace pink::serial
