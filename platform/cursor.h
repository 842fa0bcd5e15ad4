// The system's wait cursor, shown while a driver opens its port and put back
// afterwards. Windows: the hourglass cursor of the calling thread; Linux has
// no cursor to show, and this does nothing.
#pragma once

namespace pink::cursor {

class WaitCursor {
 public:
  WaitCursor();   // shows the wait cursor, remembering the previous one
  ~WaitCursor();  // puts the previous cursor back, unless restore() did
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  void restore();

 private:
  [[maybe_unused]] void* previous_ = nullptr;  // the Windows cursor put back
  [[maybe_unused]] bool shown_ = false;
};

}  // namespace pink::cursor
