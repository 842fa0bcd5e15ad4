#include "tools/vpad/families.h"

#include <array>

namespace pink::vpad {
namespace {

// tallypad and quillpad count the rows from 1, stylpad from 0. tallypad
// draws points whose coordinates are both non-zero, and a coordinate of 3
// reads as the ETX that ends its point records; quillpad draws columns
// 0..127 and rows 1..63 (a point in the last row is not shown); stylpad
// draws what falls on the pad.
constexpr std::array kFamilyTable{
    Family{"tallypad", signpad::make_tallypad_device, 1, 1, 127, 1, 64, 3},
    Family{"stylpad", signpad::make_stylpad_device, 0, 0, 127, 0, 63, -1},
    Family{"quillpad", signpad::make_quillpad_device, 1, 0, 127, 1, 63, -1},
};

}  // namespace

const Family* find_family(std::string_view name) {
  for (const Family& f : kFamilyTable) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

}  // namespace pink::vpad
