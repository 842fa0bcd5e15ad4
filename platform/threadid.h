// The operating system's identifier of the calling thread, as logs show it
// (GetCurrentThreadId on Windows, the kernel's thread id on Linux).
#pragma once

namespace pink::threadid {

long current();

}  // namespace pink::threadid
