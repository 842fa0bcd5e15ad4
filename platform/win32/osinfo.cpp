#include "platform/osinfo.h"

#include <windows.h>

namespace pink::osinfo {

bool old_platform() {
  // Ask with the extended record first, then with the basic one; a failed
  // query counts as a current platform. GetVersionEx is deprecated but is
  // exactly the query wanted here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  OSVERSIONINFOEXA ex{};
  ex.dwOSVersionInfoSize = sizeof ex;
  OSVERSIONINFOA basic{};
  DWORD platform = 0, major = 0;
  if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex))) {
    platform = ex.dwPlatformId;
    major = ex.dwMajorVersion;
  } else {
    basic.dwOSVersionInfoSize = sizeof basic;
    if (!GetVersionExA(&basic)) return false;
    platform = basic.dwPlatformId;
    major = basic.dwMajorVersion;
  }
#pragma GCC diagnostic pop
  if (platform == VER_PLATFORM_WIN32_WINDOWS) return true;
  if (platform == VER_PLATFORM_WIN32_NT && major < 5) return true;
  return false;
}

}  // namespace pink::osinfo
