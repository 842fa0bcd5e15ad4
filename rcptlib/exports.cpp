// The exported functions of rcptlib: thin shells over the process's printer.
// No exception ever leaves an export; every export returns its documented code.
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "platform/export.h"
#include "platform/files.h"
#include "platform/msgbox.h"
#include "rcptlib/bmp.h"
#include "rcptlib/printer.h"

using pink::rcptlib::printer;

namespace {

std::span<const std::uint8_t> c_text(const char* text) {
  if (text == nullptr) return {};
  return {reinterpret_cast<const std::uint8_t*>(text), std::strlen(text)};
}

void print_bitmap_file(const char* file, std::int32_t justification, std::int32_t size_mode,
                       bool tcpip_variant) {
  if (file == nullptr) return;
  auto r = pink::files::read_all(file, pink::rcptlib::kMaxFileBytes);
  if (r.status != pink::files::ReadStatus::Ok) {
    // Nothing is printed, by rule; people learn which file was looked for.
    const std::string why =
        r.status == pink::files::ReadStatus::NotFound ? "no bitmap file " : "cannot read the bitmap file ";
    pink::msgbox::note("PrintBitmap: " + why + pink::files::full_path(file) + ": nothing printed", "rcptlib");
    return;
  }
  const auto* p = reinterpret_cast<const std::uint8_t*>(r.bytes.data());
  printer().print_bitmap({p, r.bytes.size()}, justification, size_mode, tcpip_variant);
}

}  // namespace

PINK_EXPORT std::int32_t PINK_CALL OpenPort(const char* name, std::int32_t baud) {
  try {
    return printer().open_port(name ? name : "", baud);
  } catch (...) {
    return -1;
  }
}

PINK_EXPORT std::int32_t PINK_CALL ClosePort() {
  try {
    printer().close();
  } catch (...) {
  }
  return 0;
}

PINK_EXPORT std::int32_t PINK_CALL OpenTcpip(const char* address) {
  try {
    return printer().open_tcpip(address ? address : "");
  } catch (...) {
    return -1;
  }
}

PINK_EXPORT std::int32_t PINK_CALL CloseTcpip() { return ClosePort(); }

// Also exported as PrintStringTcpip (the same entry point).
PINK_EXPORT std::int32_t PINK_CALL PrintString(const char* text) {
  try {
    printer().print_text(c_text(text));
  } catch (...) {
  }
  return 0;
}

// Prints `length` bytes exactly as given, 00 bytes included (which a
// NUL-terminated PrintString cannot carry). A null block or a negative length
// prints nothing.
PINK_EXPORT std::int32_t PINK_CALL PrintBytes(const char* bytes, std::int32_t length) {
  try {
    if (bytes != nullptr && length > 0) {
      printer().print_text(
          {reinterpret_cast<const std::uint8_t*>(bytes), static_cast<std::size_t>(length)});
    }
  } catch (...) {
  }
  return 0;
}

PINK_EXPORT std::int32_t PINK_CALL PrintBitmap(const char* file, std::int32_t justification,
                                               std::int32_t size_mode) {
  try {
    print_bitmap_file(file, justification, size_mode, false);
  } catch (...) {
  }
  return 0;
}

PINK_EXPORT std::int32_t PINK_CALL PrintBitmapTcpip(const char* file, std::int32_t justification,
                                                    std::int32_t size_mode) {
  try {
    print_bitmap_file(file, justification, size_mode, true);
  } catch (...) {
  }
  return 0;
}

// The in-process server entry points: the library defines no classes.
PINK_EXPORT std::int32_t PINK_CALL DllCanUnloadNow() { return 0; /* S_OK */ }

PINK_EXPORT std::int32_t PINK_CALL DllGetClassObject(const void*, const void*, void** object) {
  if (object != nullptr) *object = nullptr;
  return static_cast<std::int32_t>(0x80040111u);  // CLASS_E_CLASSNOTAVAILABLE
}

PINK_EXPORT std::int32_t PINK_CALL DllRegisterServer() { return 0; /* S_OK: nothing to register */ }

// On Windows the export table maps this name onto PrintString's entry point;
// elsewhere it is a second name for the same call.
PINK_EXPORT std::int32_t PINK_CALL PrintStringTcpip(const char* text) { return PrintString(text); }
