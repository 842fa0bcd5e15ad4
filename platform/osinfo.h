// What the operating system is, where a driver must behave differently.
#pragma once

namespace pink::osinfo {

// True on Windows 9x and on NT before version 5 (Windows 2000), where plain
// devices are driven with blocking I/O; false elsewhere, also when the version
// cannot be read.
bool old_platform();

}  // namespace pink::osinfo
