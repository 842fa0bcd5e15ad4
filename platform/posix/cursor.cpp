// No cursor on Linux: the wait cursor is nothing to show.
#include "platform/cursor.h"

namespace pink::cursor {

WaitCursor::WaitCursor() = default;
WaitCursor::~WaitCursor() = default;
void WaitCursor::restore() {}

}  // namespace pink::cursor
