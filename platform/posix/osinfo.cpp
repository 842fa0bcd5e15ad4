#include "platform/osinfo.h"

namespace pink::osinfo {

bool old_platform() { return false; }

}  // namespace pink::osinfo
