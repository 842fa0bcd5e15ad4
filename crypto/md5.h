// MD5 (RFC 1321): the digest of the signature pads' signature records.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace pink::crypto {

using Md5Digest = std::array<std::uint8_t, 16>;

// Incremental: update() any number of times, then digest() once.
class Md5 {
 public:
  Md5();
  void update(std::span<const std::uint8_t> bytes);
  Md5Digest digest();

 private:
  void block(const std::uint8_t* p);

  std::array<std::uint32_t, 4> state_;
  std::array<std::uint8_t, 64> buffer_{};
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;  // bytes taken so far
};

Md5Digest md5(std::span<const std::uint8_t> bytes);

}  // namespace pink::crypto
