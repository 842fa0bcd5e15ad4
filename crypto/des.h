// Single DES (FIPS 46-3) on one 8-byte block: the cipher of the payment
// library's PIN blocks and of the signature pads' signature data and records.
#pragma once

#include <array>
#include <cstdint>

namespace pink::crypto::des {

using Block = std::array<std::uint8_t, 8>;

inline constexpr int kEncrypt = 1;
inline constexpr int kDecrypt = 0;

// Encrypts `data` under `key` when `direction` is kEncrypt; any other value
// decrypts. The parity bits of the key (the low bit of each byte) are ignored.
Block crypt(int direction, const Block& data, const Block& key);

}  // namespace pink::crypto::des
