// The pad families vpad plays: each family's pad device and where its
// control draws pen points (a point outside is sent, but no control shows
// it; vpad warns about such points in a signature).
#pragma once

#include <memory>
#include <string_view>

#include "signpad/device.h"

namespace pink::vpad {

struct Family {
  std::string_view name;
  std::unique_ptr<signpad::PadDevice> (*make)(const signpad::PadScript&);
  int min_x, max_x, min_y, max_y;  // the points the family's control draws
};

// The family of that name; null for none.
const Family* find_family(std::string_view name);

}  // namespace pink::vpad
