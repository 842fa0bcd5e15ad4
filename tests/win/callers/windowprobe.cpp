// windowprobe: ends with status 0 when this process can open a top-level
// window on its display, 1 when it cannot. The tests run it until a fresh
// virtual display takes Windows programs' windows (Wine's first program on a
// display may be refused while Wine sets the display up).
#include <windows.h>

int main() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"pink.windowprobe";
  RegisterClassW(&wc);
  HWND h = CreateWindowExW(0, wc.lpszClassName, L"probe", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                           wc.hInstance, nullptr);
  if (h == nullptr) return 1;
  DestroyWindow(h);
  return 0;
}
