// The exports of cashbox: the drawer behind the kernel device
// "\\.\DovCBXDev". Thin shells over the library's one driver; no
// exception leaves an export.
#include <cstdint>

#include "drivers/drawer/driver.h"
#include "drivers/drawer/family.h"
#include "pink/drawer.h"
#include "platform/export.h"

namespace {

pink::drawer::Driver& driver() {
  static pink::drawer::Driver d(pink::drawer::kCashbox);
  return d;
}

}  // namespace

PINK_EXPORT std::int32_t PINK_CALL OpenCBX() {
  try {
    return driver().open();
  } catch (...) {
    return 0;
  }
}

PINK_EXPORT std::int32_t PINK_CALL Trigger() {
  try {
    return driver().open_drawer();
  } catch (...) {
    return 0;
  }
}

PINK_EXPORT std::int32_t PINK_CALL GetStatus() {
  try {
    return driver().status();
  } catch (...) {
    return 0;
  }
}

PINK_EXPORT std::int32_t PINK_CALL CloseCBX() {
  try {
    return driver().close();
  } catch (...) {
    return 0;
  }
}
