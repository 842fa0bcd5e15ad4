#include "platform/threadid.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace pink::threadid {

// The kernel's id of the thread (the main thread's equals the process id),
// the number tools such as ps and top show for it.
long current() { return static_cast<long>(::syscall(SYS_gettid)); }

}  // namespace pink::threadid
