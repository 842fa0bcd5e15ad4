// scanwindow: a POS window that takes barcodes from the scanner library in
// message mode, for the tests of the Windows build.
//
//   scanwindow SCANIO_DLL CODES TIMEOUT_MS
//
// Creates a real top-level window (never shown), loads the library by its
// path, opens message mode with the window, a message number of its own and
// a code buffer, prints "ScnOpenI=RESULT", then runs the window's message
// loop: every message the library posts prints "code=TEXT" (the buffer's
// cp949 bytes as they are). After CODES messages, or TIMEOUT_MS, it prints
// "ScnCloseI=RESULT" and ends; the status is 0 when the open worked and
// CODES messages came, 1 otherwise, 2 for a usage error.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

constexpr UINT kScanMessage = WM_APP + 7;
constexpr UINT_PTR kGiveUpTimer = 1;

using OpenFn = int(__stdcall*)(std::intptr_t, std::uint32_t, char*);
using CloseFn = int(__stdcall*)();

char g_code[128];
int g_wanted = 0;
int g_received = 0;

void print(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kScanMessage) {
    // The library posts with both parameters 0; anything else is not its message.
    print("code=" + std::string(g_code) + (wp != 0 || lp != 0 ? " (parameters not 0)" : "") + "\n");
    if (++g_received >= g_wanted) PostQuitMessage(0);
    return 0;
  }
  if (msg == WM_TIMER && wp == kGiveUpTimer) {
    PostQuitMessage(1);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

template <typename Fn>
Fn export_of(HMODULE lib, const char* name) {
  const FARPROC p = GetProcAddress(lib, name);
  Fn fn = nullptr;
  static_assert(sizeof fn == sizeof p);
  std::memcpy(&fn, &p, sizeof fn);
  return fn;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: scanwindow SCANIO_DLL CODES TIMEOUT_MS\n");
    return 2;
  }
  _setmode(_fileno(stdout), _O_BINARY);  // lines end with LF alone
  g_wanted = std::atoi(argv[2]);
  const UINT timeout_ms = static_cast<UINT>(std::strtoul(argv[3], nullptr, 10));
  HMODULE lib = LoadLibraryA(argv[1]);
  auto open = lib ? export_of<OpenFn>(lib, "ScnOpenI") : nullptr;
  auto close = lib ? export_of<CloseFn>(lib, "ScnCloseI") : nullptr;
  if (open == nullptr || close == nullptr) {
    std::fprintf(stderr, "scanwindow: cannot load %s\n", argv[1]);
    return 2;
  }
  WNDCLASSW wc{};
  wc.lpfnWndProc = window_proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"pink.scanwindow";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"POS", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                              wc.hInstance, nullptr);
  if (hwnd == nullptr) {
    std::fprintf(stderr, "scanwindow: no window (error %lu)\n", GetLastError());
    return 2;
  }
  const int opened = open(reinterpret_cast<std::intptr_t>(hwnd), kScanMessage, g_code);
  print("ScnOpenI=" + std::to_string(opened) + "\n");
  SetTimer(hwnd, kGiveUpTimer, timeout_ms, nullptr);
  MSG msg;
  int status = 1;
  while (opened == 1 && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (opened == 1 && g_received >= g_wanted) status = 0;
  print("ScnCloseI=" + std::to_string(close()) + "\n");
  DestroyWindow(hwnd);
  return status;
}
