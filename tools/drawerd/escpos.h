// The ESC/POS commands drawerd sends to a receipt printer, built from named
// parts, and the bits of the printer's answer that it reads.
#pragma once

#include <array>
#include <cstdint>

namespace pink::drawerd::escpos {

inline constexpr std::uint8_t ESC = 0x1B;
inline constexpr std::uint8_t DLE = 0x10;
inline constexpr std::uint8_t EOT = 0x04;

// ESC p m t1 t2: a pulse on the drawer kick-out connector. m 0 is pin 2,
// m 1 is pin 5; the pulse is on for t1 x 2 ms, then off for t2 x 2 ms.
inline constexpr std::array<std::uint8_t, 2> kPulse = {ESC, 'p'};
inline constexpr std::uint8_t kPulsePin2 = 0;
inline constexpr std::uint8_t kPulsePin5 = 1;

// DLE EOT 1: real-time request of the printer status byte.
inline constexpr std::array<std::uint8_t, 3> kPrinterStatusQuery = {DLE, EOT, 0x01};

// The printer status byte: bits 1 and 4 are always 1, bits 0 and 7 always
// 0 (automatic status bytes, which may arrive at any time, have bit 4 at 0).
inline constexpr std::uint8_t kStatusFixedMask = 0x93;
inline constexpr std::uint8_t kStatusFixedValue = 0x12;
// Bit 2: the level of pin 3 of the drawer kick-out connector (1 high).
inline constexpr std::uint8_t kStatusDrawerPin3 = 0x04;
// Bit 3: the printer is off line.
inline constexpr std::uint8_t kStatusOffline = 0x08;

}  // namespace pink::drawerd::escpos
