// Single DES (FIPS 46-3) on one 8-byte block: the cipher of the payment
// library's PIN blocks and of the signature pads' signature data and records.
#pragma once

#include <array>
#include <cstdint>

namespace pink::crypto::des {

using Block = std::array<std::uint8_t, 8>;

inline constexpr int kEncrypt = 1;
inline constexpr int kDecrypt = 0;

// The sixteen round keys of a key, built once for many blocks (ECB over a
// signature record or image). The parity bits of the key (the low bit of each
// byte) are ignored.
class Schedule {
 public:
  explicit Schedule(const Block& key);
  Block encrypt(const Block& data) const;
  Block decrypt(const Block& data) const;

 private:
  std::array<std::uint64_t, 16> round_keys_;
};

// Encrypts `data` under `key` when `direction` is kEncrypt; any other value
// decrypts.
Block crypt(int direction, const Block& data, const Block& key);

}  // namespace pink::crypto::des
