// A value crossing an automation member inside the suite: the argument and
// result type of the objects' code. Strings are cp949 here; the API layer
// converts at its boundary.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "automation/table.h"

namespace pink::automation {

struct Value {
  Type type = Type::Empty;
  std::int32_t num = 0;             // I2, I4, Bool (0 false, -1 true)
  std::string str;                  // Str, cp949
  std::vector<std::uint8_t> bytes;  // Bytes

  static Value i2(std::int16_t v) { return Value{Type::I2, v, {}, {}}; }
  static Value i4(std::int32_t v) { return Value{Type::I4, v, {}, {}}; }
  static Value boolean(bool v) { return Value{Type::Bool, v ? -1 : 0, {}, {}}; }
  static Value string(std::string cp949) { return Value{Type::Str, 0, std::move(cp949), {}}; }
  static Value array(std::vector<std::uint8_t> b) { return Value{Type::Bytes, 0, {}, std::move(b)}; }
  // An empty value of the given type: 0, false, "" or no bytes.
  static Value of(Type t) { return Value{t == Type::Variant ? Type::Empty : t, 0, {}, {}}; }
};

}  // namespace pink::automation
