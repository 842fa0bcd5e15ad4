// The exported functions of scanio: thin shells over the process's scanner
// driver. No exception leaves an export; each returns its documented code.
#include <cstdint>

#include "drivers/scanner/scanner.h"
#include "platform/export.h"

using pink::scanio::scanner;

PINK_EXPORT std::int32_t PINK_CALL ScnOpenI(std::intptr_t window, std::uint32_t message,
                                            char* buffer) {
  try {
    return scanner().open_message(window, message, buffer);
  } catch (...) {
    return pink::scanio::kFailed;
  }
}

PINK_EXPORT std::int32_t PINK_CALL ScnCloseI() {
  try {
    return scanner().close_message();
  } catch (...) {
    return pink::scanio::kFailed;
  }
}

PINK_EXPORT std::int32_t PINK_CALL ScnOpenP(std::intptr_t window) {
  try {
    return scanner().open_polling(window);
  } catch (...) {
    return pink::scanio::kFailed;
  }
}

PINK_EXPORT std::int32_t PINK_CALL ScnReadP(char* buffer) {
  try {
    return scanner().read_polling(buffer);
  } catch (...) {
    return 0;
  }
}

PINK_EXPORT std::int32_t PINK_CALL ScnCloseP() {
  try {
    return scanner().close_polling();
  } catch (...) {
    return pink::scanio::kFailed;
  }
}
