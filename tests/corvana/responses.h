// Building the network's responses for the bridge's tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

namespace pink::corvana::testing {

// 16 upper-case hexadecimal digits with bit n (1 = most significant) set for
// each field number n.
inline std::string bitmap_of(std::initializer_list<int> fields) {
  std::uint64_t bits = 0;
  for (const int n : fields) bits |= std::uint64_t{1} << (64 - n);
  char out[17];
  std::snprintf(out, sizeof out, "%016llX", static_cast<unsigned long long>(bits));
  return out;
}

// Twelve characters the bridge does not read, the message type, the bitmap
// and the data area.
inline std::string response(std::string_view type, std::string_view bitmap,
                            std::string_view data, std::string_view head = "ISO012345678") {
  return std::string(head) + std::string(type) + std::string(bitmap) + std::string(data);
}

// A card response: processing code (field 3, its first two characters being
// the deal code), amount (4), trace number (11), answer code (39), an LL
// field (44) and an LLL field (63).
inline constexpr std::string_view kField3Cf = "100000";
inline constexpr std::string_view kField3Cs = "110000";
inline constexpr std::string_view kField4 = "000000010000";
inline constexpr std::string_view kField11 = "123456";
inline constexpr std::string_view kField39 = "00";
inline constexpr std::string_view kField44 = "05ABCDE";
inline constexpr std::string_view kField63 = "003XYZ";

inline std::string card_data(std::string_view field3) {
  return std::string(field3) + std::string(kField4) + std::string(kField11) +
         std::string(kField39) + std::string(kField44) + std::string(kField63);
}

inline std::string cf_response() {
  return response("0910", bitmap_of({3, 4, 11, 39, 44, 63}), card_data(kField3Cf));
}

}  // namespace pink::corvana::testing
