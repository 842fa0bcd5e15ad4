// Device control on Windows: CreateFile on the device name, one synchronous
// DeviceIoControl per request, CloseHandle. Waits of a timed sequence run
// with the system timer at 1 ms resolution and end on the performance
// counter, so that a 10 ms wait is not a 15.6 ms one.
#include "platform/devctl.h"

#include <windows.h>

#include "platform/text.h"
#include "platform/win32/system_text.h"

namespace pink::devctl {
namespace {

std::wstring wide(std::string_view cp949) {
  const std::u16string w = text::cp949_to_utf16(cp949);
  return std::wstring(w.begin(), w.end());
}

using win32::system_text;

class HandleDevice final : public Device {
 public:
  explicit HandleDevice(HANDLE h) : h_(h) {}
  ~HandleDevice() override { CloseHandle(h_); }

  bool control(std::uint32_t code, std::span<const std::uint8_t> input,
               std::span<std::uint8_t> output, std::size_t& returned) override {
    returned = 0;
    DWORD got = 0;
    // The driver reads the input only; the const is lost at the API alone.
    void* in = input.empty() ? nullptr : const_cast<std::uint8_t*>(input.data());
    void* out = output.empty() ? nullptr : output.data();
    const BOOL ok = DeviceIoControl(h_, code, in, static_cast<DWORD>(input.size()), out,
                                    static_cast<DWORD>(output.size()), &got, nullptr);
    if (!ok) return false;
    returned = got <= output.size() ? got : output.size();
    return true;
  }

 private:
  HANDLE h_;
};

// timeBeginPeriod / timeEndPeriod of the multimedia library, taken from the
// system folder at first use (the library is not otherwise linked).
using PeriodFn = UINT(WINAPI*)(UINT);
struct PeriodCalls {
  PeriodFn begin = nullptr;
  PeriodFn end = nullptr;
};

const PeriodCalls& period_calls() {
  static const PeriodCalls calls = [] {
    PeriodCalls c;
    wchar_t dir[MAX_PATH];
    const UINT n = GetSystemDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH - 12) return c;
    const std::wstring path = std::wstring(dir, n) + L"\\winmm.dll";
    HMODULE m = LoadLibraryW(path.c_str());  // kept for the life of the process
    if (m == nullptr) return c;
    c.begin = reinterpret_cast<PeriodFn>(reinterpret_cast<void*>(GetProcAddress(m, "timeBeginPeriod")));
    c.end = reinterpret_cast<PeriodFn>(reinterpret_cast<void*>(GetProcAddress(m, "timeEndPeriod")));
    if (c.begin == nullptr || c.end == nullptr) c = PeriodCalls{};
    return c;
  }();
  return calls;
}

std::int64_t counter() {
  LARGE_INTEGER v;
  QueryPerformanceCounter(&v);
  return v.QuadPart;
}

std::int64_t frequency() {
  LARGE_INTEGER v;
  QueryPerformanceFrequency(&v);
  return v.QuadPart;
}

}  // namespace

std::string device_path(std::string_view name) { return std::string(name); }

OpenResult open(std::string_view name) {
  OpenResult r;
  HANDLE h = CreateFileW(wide(name).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    r.text = std::string(name) + ": " + system_text(GetLastError());
    return r;
  }
  r.device = std::make_unique<HandleDevice>(h);
  return r;
}

SequenceTimer::SequenceTimer() {
  const PeriodCalls& c = period_calls();
  raised_ = c.begin != nullptr && c.begin(1) == 0;  // TIMERR_NOERROR
}

SequenceTimer::~SequenceTimer() {
  if (raised_) period_calls().end(1);
}

void SequenceTimer::wait_ms(std::uint32_t ms) {
  const std::int64_t freq = frequency();
  const std::int64_t until = counter() + static_cast<std::int64_t>(ms) * freq / 1000;
  for (;;) {
    const std::int64_t left = until - counter();
    if (left <= 0) return;
    const std::int64_t left_ms = left * 1000 / freq;
    // Sleep whole milliseconds while more than one is left, then give up the
    // rest of the time slice until the counter reaches the end.
    Sleep(left_ms > 1 ? static_cast<DWORD>(left_ms - 1) : 0);
  }
}

}  // namespace pink::devctl
