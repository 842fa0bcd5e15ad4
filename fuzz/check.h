// What every fuzz target shares: a check that stops the run at a broken
// invariant (the fuzzer then saves the input that broke it), and small
// helpers to cut the fuzzer's bytes into pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string_view>

// Traps with the failed condition and its line when the condition is false.
// (Variadic so that a condition may hold braces with commas.)
#define FUZZ_CHECK(...)                                                                   \
  do {                                                                                    \
    if (!(__VA_ARGS__)) {                                                                 \
      std::fprintf(stderr, "%s:%d: broken invariant: %s\n", __FILE__, __LINE__, #__VA_ARGS__); \
      __builtin_trap();                                                                   \
    }                                                                                     \
  } while (0)

namespace pink::fuzz {

inline std::span<const std::uint8_t> bytes(const std::uint8_t* data, std::size_t size) {
  return {data, size};
}

inline std::string_view chars(std::span<const std::uint8_t> b) {
  return {reinterpret_cast<const char*>(b.data()), b.size()};
}

inline std::span<const std::uint8_t> bytes_of(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// A split point inside `size` bytes chosen by `seed` (0..size).
inline std::size_t split_point(std::uint8_t seed, std::size_t size) {
  return size == 0 ? 0 : (static_cast<std::size_t>(seed) * (size + 1)) / 256;
}

}  // namespace pink::fuzz
