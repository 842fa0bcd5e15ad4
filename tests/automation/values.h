// Building the values of the automation C interface in tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pink/automation.h"

namespace pink::automation::testing {

inline pink_value str(const char* s) { return pink_value{PINK_STR, 0, s, nullptr, 0, 0}; }
inline pink_value i2(std::int32_t v) { return pink_value{PINK_I2, v, nullptr, nullptr, 0, 0}; }
inline pink_value i4(std::int32_t v) { return pink_value{PINK_I4, v, nullptr, nullptr, 0, 0}; }
inline pink_value boolean(std::int32_t v) { return pink_value{PINK_BOOL, v, nullptr, nullptr, 0, 0}; }
inline pink_value bytes(const std::vector<std::uint8_t>& b) {
  return pink_value{PINK_BYTES, 0, nullptr, b.data(), static_cast<std::int32_t>(b.size()), 0};
}
// A by-reference out-argument of the given type.
inline pink_value out(std::int32_t type, std::int32_t num = 0) {
  return pink_value{type, num, nullptr, nullptr, 0, 1};
}

inline std::vector<std::uint8_t> bytes_of(const pink_value& v) {
  return std::vector<std::uint8_t>(v.bytes, v.bytes + v.len);
}

// An object released at the end of the scope.
class Obj {
 public:
  explicit Obj(const char* progid) : o_(pink_create(progid)) {}
  ~Obj() { pink_release(o_); }
  Obj(const Obj&) = delete;
  Obj& operator=(const Obj&) = delete;
  pink_object* get() const { return o_; }
  explicit operator bool() const { return o_ != nullptr; }
  // Calls a method by name; the status of pink_invoke.
  std::int32_t call(const char* member, std::vector<pink_value>& args, pink_value* result,
                    std::int32_t kind = PINK_METHOD) {
    return pink_invoke(o_, pink_dispid(o_, member), kind, args.data(),
                       static_cast<std::int32_t>(args.size()), result);
  }

 private:
  pink_object* o_;
};

}  // namespace pink::automation::testing
