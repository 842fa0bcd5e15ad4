// The exports of drawerio: the drawer behind the kernel device
// "\\.\TevDraw2kKwDev". Thin shells over the library's one driver; no
// exception leaves an export.
#include <cstdint>

#include "drivers/drawer/driver.h"
#include "drivers/drawer/family.h"
#include "pink/drawer.h"
#include "platform/export.h"

namespace {

pink::drawer::Driver& driver() {
  static pink::drawer::Driver d(pink::drawer::kDrawerio);
  return d;
}

}  // namespace

PINK_EXPORT std::int32_t PINK_CALL OpenDrawPort() {
  try {
    return driver().open();
  } catch (...) {
    return 0;
  }
}

PINK_EXPORT std::int32_t PINK_CALL OpenDraw() {
  try {
    return driver().open_drawer();
  } catch (...) {
    return 0;
  }
}

PINK_EXPORT std::int32_t PINK_CALL GetDrawStatus() {
  try {
    return driver().status();
  } catch (...) {
    return 0;
  }
}

PINK_EXPORT std::int32_t PINK_CALL CloseDrawPort() {
  try {
    return driver().close();
  } catch (...) {
    return 0;
  }
}
