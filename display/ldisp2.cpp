// ldisp2: the 20-column display driver on COM4. PdsWrite puts a text on line
// 1 or 2: ESC l 1 row, then a 20-byte field.
#define PDS_LIBRARY_LDISP2
#include "pink/pds.h"

#include "display/session.h"
#include "platform/export.h"

namespace {

pink::display::Session& display() {
  static pink::display::Session session(pink::display::kDrivers[pink::display::kLdisp2]);
  return session;
}

}  // namespace

PINK_EXPORT std::int32_t PINK_CALL PdsOpen() { return display().open(); }

PINK_EXPORT std::int32_t PINK_CALL PdsWrite(std::int32_t line, const char* text) {
  return display().write_line(line, text);
}

PINK_EXPORT std::int32_t PINK_CALL PdsClose() { return display().close(); }
