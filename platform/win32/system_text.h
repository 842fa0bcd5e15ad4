// The system's own text for a Windows error code, for failure reasons.
#pragma once

#include <windows.h>

#include <string>

namespace pink::win32 {

// "error 2: The system cannot find the file specified." (cp949); "error N"
// alone when the system has no text for the code.
std::string system_text(DWORD code);

}  // namespace pink::win32
