#include "tools/vpad/families.h"

#include <array>

namespace pink::vpad {
namespace {

// tallypad draws points whose coordinates are both non-zero; quillpad those
// in columns 0..127 and rows 1..63 (a point in the last row is not shown);
// stylpad lists points up to 128 x 64.
constexpr std::array kFamilyTable{
    Family{"tallypad", signpad::make_tallypad_device, 1, 127, 1, 64},
    Family{"stylpad", signpad::make_stylpad_device, 0, 128, 0, 64},
    Family{"quillpad", signpad::make_quillpad_device, 0, 127, 1, 63},
};

}  // namespace

const Family* find_family(std::string_view name) {
  for (const Family& f : kFamilyTable) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

}  // namespace pink::vpad
