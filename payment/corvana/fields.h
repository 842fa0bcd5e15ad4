// The fields of the network's response message and the walk that takes them
// apart.
//
// A response carries a 64-bit bitmap; bit n tells whether field n is in the
// data area. Every field has a fixed byte length or a 2- or 3-digit decimal
// length prefix (LL, LLL) that counts the bytes behind it and belongs to the
// field. Fields the table does not list have no length: nothing is taken for
// them even when their bit is set. Some fields go, in field-number order,
// into the normalised text handed back to the POS, depending on the kind of
// response; an absent one is replaced by its default.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pink::corvana {

// Kinds of response: "0910" with deal code "10" (CF) or "11" (CS), and "9910" (RF).
enum class Kind : std::uint8_t { CF, CS, RF };

enum class Form : std::uint8_t { Fixed, LL, LLL };

// Bit set of the kinds whose normalised text lists a field.
inline constexpr std::uint8_t kInCF = 1u << static_cast<unsigned>(Kind::CF);
inline constexpr std::uint8_t kInCS = 1u << static_cast<unsigned>(Kind::CS);
inline constexpr std::uint8_t kInRF = 1u << static_cast<unsigned>(Kind::RF);

struct FieldDef {
  std::uint8_t number;           // 1..64
  Form form;
  std::uint8_t length;           // bytes of a fixed field; 0 for LL and LLL
  std::uint8_t kinds;            // kInCF | kInCS | kInRF, or 0
  std::string_view absent_text;  // what the normalised text gets when it is missing
};

// "0"/"1" per bit of a bitmap text, most significant first: each of the
// digits 0-9 and A-F gives four characters; any other character (lower-case
// digits included) gives none, so the bits behind it shift forward and the
// last ones read as absent.
std::string expand_bitmap(std::string_view bitmap);

struct FieldWalk {
  std::string taken;       // the texts of all fields taken, one after the other
  std::string normalised;  // the fields listed for the kind, or their defaults
};

// Takes the fields whose bits are set out of the data area (cp949 bytes), in
// field-number order. Throws pink::Failure when a length prefix is not a
// decimal number or a field reaches past the end of the data area. Every
// field is taken from the front of what is left, so `taken` equals the data
// area exactly when the fields account for all of it.
FieldWalk walk_fields(std::string_view data_area, std::string_view bits, Kind kind);

}  // namespace pink::corvana
