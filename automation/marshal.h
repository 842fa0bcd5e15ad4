// The API layer's rules, apart from the exported functions: finding a
// member's row, checking and converting the caller's arguments against it
// (count, types, I2/I4 conversion, UTF-8 to cp949), and handing out-arguments,
// results and event arguments back (cp949 to UTF-8, memory kept in a Store).
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "automation/table.h"
#include "automation/value.h"
#include "pink/automation.h"

namespace pink::automation {

// Memory of the strings and arrays handed to a caller; pointers stay valid
// until clear().
class Store {
 public:
  const char* keep(std::string text);
  const std::uint8_t* keep(std::vector<std::uint8_t> bytes);  // never null
  void clear() noexcept;

 private:
  std::deque<std::string> strings_;
  std::deque<std::vector<std::uint8_t>> arrays_;
};

// The first row with this DISPID whose kind is among the bits of `kind`.
const Member* find_row(std::span<const Member> rows, std::int32_t dispid, std::int32_t kind);

// The DISPID of a member name (ASCII case-insensitive), or -1.
std::int32_t find_dispid(std::span<const Member> rows, std::string_view name);

// Checks the caller's arguments against the row and converts them:
// PINK_OK with `values` filled, PINK_E_COUNT or PINK_E_TYPE.
std::int32_t take_arguments(const Member& row, const pink_value* args, std::int32_t nargs,
                            std::vector<Value>& values);

// Writes the row's out-, in/out- and retval-arguments back into the
// caller's values.
void give_back(const Member& row, std::span<const Value> values, pink_value* args, Store& store);

// A value as the caller sees it: strings UTF-8, kept in `store`; byref 0.
pink_value to_caller(const Value& value, Store& store);

}  // namespace pink::automation
