// The pad families vpad plays: each family's pad device, its pen points'
// coordinates, and where its control draws them (a point outside is sent,
// but no control shows it; vpad warns about such points in a signature).
#pragma once

#include <memory>
#include <string_view>

#include "signpad/device.h"

namespace pink::vpad {

struct Family {
  std::string_view name;
  std::unique_ptr<signpad::PadDevice> (*make)(const signpad::PadScript&);
  int top;                         // the y of the pad's top row on the wire
  int min_x, max_x, min_y, max_y;  // the points the family's control draws
  int unsendable;                  // a coordinate the wire cannot carry (-1: none)
};

// The family of that name; null for none.
const Family* find_family(std::string_view name);

}  // namespace pink::vpad
