// icapi: the entry points of the IC card reader interface. Only the clock
// entry does work; the reader entries accept whatever their callers pass and
// report success without touching any device.
#include <cstring>

#include "payment/icapi/datetime.h"
#include "platform/clock.h"
#include "platform/export.h"

// Copies the 14 digits of the local date and time into `buffer`, without a
// terminating zero: the byte behind them stays as it was. A null buffer gets
// nothing. Always 0.
PINK_EXPORT int PINK_CALL ZV_EXT_GetDateTime(char* buffer) {
  if (buffer == nullptr) return 0;
  try {
    const auto digits = pink::icapi::datetime_digits(pink::clock::now_local());
    std::memcpy(buffer, digits.data(), digits.size());
  } catch (...) {
  }
  return 0;
}

// ZV_EXT_CmdApdu and ZV_EXT_IcInit: one entry point under two names. It takes
// no arguments of its own and uses the C calling convention, so the caller
// removes whatever it pushed. Always 0.
PINK_EXPORT int PINK_CDECL ZV_EXT_CmdApdu(...) noexcept { return 0; }
PINK_EXPORT int PINK_CDECL ZV_EXT_IcInit(...) noexcept __attribute__((alias("ZV_EXT_CmdApdu")));
