// ldisp: the raw display driver on COM6. PdsWrite sends the caller's text as
// it is (control codes included) and the 0x00 that ends it.
#define PDS_LIBRARY_LDISP
#include "pink/pds.h"

#include "display/session.h"
#include "platform/export.h"

namespace {

pink::display::Session& display() {
  static pink::display::Session session(pink::display::kDrivers[pink::display::kLdisp]);
  return session;
}

}  // namespace

PINK_EXPORT std::int32_t PINK_CALL PdsOpen() { return display().open(); }

PINK_EXPORT std::int32_t PINK_CALL PdsWrite(const char* text, std::int32_t length) {
  return display().write_raw(text, length);
}

PINK_EXPORT std::int32_t PINK_CALL PdsClose() { return display().close(); }
