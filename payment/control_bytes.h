// The control bytes of the payment network's exchange: one byte each, sent
// alone between the request and the response blocks. The network link
// library, the payment bridge and the network simulator all speak them.
#pragma once

#include <cstdint>

namespace pink::payment {

inline constexpr std::uint8_t kEnq = 0x05;  // network: send your request now
inline constexpr std::uint8_t kAck = 0x06;  // terminal: response received
inline constexpr std::uint8_t kNak = 0x15;  // network: request refused
inline constexpr std::uint8_t kEot = 0x04;  // network: exchange complete
inline constexpr std::uint8_t kEm = 0x19;   // terminal: exchange abandoned

}  // namespace pink::payment
