// The properties a form host saves with a control and gives back when it
// loads the form: read and written through the object's member table (the
// property rows named by automation::Persistent), and their stream form.
//
// The stream form, little-endian, self-delimiting so that a host may store
// other data after it in the same stream:
//
//   version      u16   1
//   body length  u32   at most kMaxBody
//   body         per property: name length (u8), name (ASCII), type (u16,
//                the automation type number), value: I2 and Bool as i16,
//                I4 as i32, Str and Bytes as a u32 length and the bytes
//
//   auto saved = persist::read(object, persistent.persisted());
//   std::vector<std::uint8_t> bytes = persist::encode(saved);
//   ...
//   if (auto back = persist::decode_body(body)) persist::write(object, *back);
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "automation/object.h"
#include "automation/value.h"

namespace pink::automation::persist {

struct Property {
  std::string name;
  Value value;
  friend bool operator==(const Property& a, const Property& b) {
    return a.name == b.name && a.value.type == b.value.type && a.value.num == b.value.num &&
           a.value.str == b.value.str && a.value.bytes == b.value.bytes;
  }
};

inline constexpr std::uint16_t kVersion = 1;
inline constexpr std::size_t kHeaderBytes = 6;
inline constexpr std::uint32_t kMaxBody = 1u << 20;

// The whole stream form (header and body). Names longer than 255 bytes and
// values of other types cannot be said in it: std::invalid_argument.
std::vector<std::uint8_t> encode(std::span<const Property> properties);

// The body length a header announces; nothing when the header is not one
// of this form (another version, a body over kMaxBody).
std::optional<std::uint32_t> body_length(std::span<const std::uint8_t> header);

// The properties of a body; nothing when the body is malformed (a field
// running past its end, an unknown type, bytes left over).
std::optional<std::vector<Property>> decode_body(std::span<const std::uint8_t> body);

// The type of the property `name` as its put row takes it; nothing when the
// object has no get and put rows of that name.
std::optional<Type> property_type(const Object& object, std::string_view name);

// The current values of the named properties, read through their get rows,
// in the order given. Names without get and put rows are left out.
std::vector<Property> read(Object& object, std::span<const std::string_view> names);

// Sets every property through its put row. All or nothing: when one is not
// a property of the object that `allowed` names, or its value is not of the
// property's type, nothing is set and the answer is false.
bool write(Object& object, std::span<const std::string_view> allowed, std::span<const Property> properties);

}  // namespace pink::automation::persist
