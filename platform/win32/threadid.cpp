#include "platform/threadid.h"

#include <windows.h>

namespace pink::threadid {

long current() { return static_cast<long>(GetCurrentThreadId()); }

}  // namespace pink::threadid
