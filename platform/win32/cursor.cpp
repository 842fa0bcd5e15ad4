// The wait cursor on Windows: SetCursor with the system's IDC_WAIT cursor,
// and the previous cursor put back afterwards.
#include "platform/cursor.h"

#include <windows.h>

namespace pink::cursor {

WaitCursor::WaitCursor() {
  previous_ = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
  shown_ = true;
}

WaitCursor::~WaitCursor() { restore(); }

void WaitCursor::restore() {
  if (!shown_) return;
  SetCursor(static_cast<HCURSOR>(previous_));
  shown_ = false;
}

}  // namespace pink::cursor
