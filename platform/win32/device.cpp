// Device files on Windows: CreateFile on the name. Devices (the parallel
// ports and other DOS device names, "\\.\" paths) are opened exclusively on
// an overlapped handle so that a write can be given up after its window;
// other names, and device names that turn out to stand for a file on disk,
// are files, appended to (and created when missing, for other names).
#include "platform/device.h"

#include <windows.h>

#include "platform/common/device_common.h"
#include "platform/failure.h"
#include "platform/text.h"

namespace pink::device {
namespace {

std::wstring wide(std::string_view cp949) {
  const std::u16string w = text::cp949_to_utf16(cp949);
  return std::wstring(w.begin(), w.end());
}

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// "LPT1", "COM3:", "PRN", "\\.\LPT1" ... name a device rather than a file.
bool is_device_name(std::string_view name) {
  if (name.rfind("\\\\.\\", 0) == 0) return true;
  if (!name.empty() && name.back() == ':') name.remove_suffix(1);
  std::string u;
  for (char c : name) u += upper(c);
  if (u == "PRN" || u == "AUX" || u == "NUL" || u == "CON") return true;
  if (u.size() == 4 && (u.rfind("LPT", 0) == 0 || u.rfind("COM", 0) == 0) && u[3] >= '1' && u[3] <= '9') return true;
  return false;
}

class Win32File final : public File {
 public:
  Win32File(std::string path, HANDLE h, bool device) : File(std::move(path)), h_(h), device_(device) {}
  ~Win32File() override { CloseHandle(h_); }

  long write(std::span<const std::uint8_t> bytes, std::uint32_t window_ms) override {
    if (bytes.empty()) return 0;
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) return -1;
    const long r = device_ ? write_device(bytes, window_ms, event) : write_file(bytes, event);
    CloseHandle(event);
    return r;
  }

  void purge() override {
    if (device_) PurgeComm(h_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
  }

 private:
  // One overlapped write at the end of the file, waited for.
  long write_file(std::span<const std::uint8_t> bytes, HANDLE event) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      OVERLAPPED ov{};
      ov.Offset = 0xFFFFFFFFu;  // at the end of the file
      ov.OffsetHigh = 0xFFFFFFFFu;
      ov.hEvent = event;
      ResetEvent(event);
      DWORD n = 0;
      const DWORD want = static_cast<DWORD>(bytes.size() - done);
      if (!WriteFile(h_, bytes.data() + done, want, &n, &ov)) {
        if (GetLastError() != ERROR_IO_PENDING || !GetOverlappedResult(h_, &ov, &n, TRUE)) {
          return done == 0 ? -1 : static_cast<long>(done);
        }
      } else {
        GetOverlappedResult(h_, &ov, &n, FALSE);
      }
      if (n == 0) break;
      done += n;
    }
    return static_cast<long>(done);
  }

  // Within the window the bytes not yet written go out with one overlapped
  // write; a pending write is polled every 10 ms and cancelled once it has
  // been pending for its limit. Further writes follow while bytes remain and
  // the window lasts.
  long write_device(std::span<const std::uint8_t> bytes, std::uint32_t window_ms, HANDLE event) {
    const bool forever = window_ms == clock::kWaitForever;
    const ULONGLONG start = GetTickCount64();
    const ULONGLONG limit = detail::pending_limit_ms(window_ms, bytes.size());
    std::size_t done = 0;
    bool first = true;
    while (done < bytes.size()) {
      if (!forever && !first && GetTickCount64() - start >= window_ms) break;
      OVERLAPPED ov{};
      ov.hEvent = event;
      ResetEvent(event);
      DWORD n = 0;
      const DWORD want = static_cast<DWORD>(bytes.size() - done);
      if (!WriteFile(h_, bytes.data() + done, want, &n, &ov)) {
        if (GetLastError() != ERROR_IO_PENDING) return first ? -1 : static_cast<long>(done);
        if (forever) {
          if (!GetOverlappedResult(h_, &ov, &n, TRUE)) return first ? -1 : static_cast<long>(done);
        } else if (!wait_pending(ov, n, limit)) {
          done += n;
          break;
        }
      } else {
        GetOverlappedResult(h_, &ov, &n, FALSE);
      }
      first = false;
      done += n;
      if (n == 0) Sleep(10);  // the device timed the write out; try again while the window lasts
    }
    return static_cast<long>(done);
  }

  // Polls a pending write; cancels it once it has been pending for
  // `limit` ms. False when it was cancelled or failed (`n` then holds what
  // went out before).
  bool wait_pending(OVERLAPPED& ov, DWORD& n, ULONGLONG limit) {
    const ULONGLONG pending_since = GetTickCount64();
    for (;;) {
      if (GetOverlappedResult(h_, &ov, &n, FALSE)) return true;
      if (GetLastError() != ERROR_IO_INCOMPLETE) return false;
      if (GetTickCount64() - pending_since >= limit) {
        CancelIoEx(h_, &ov);
        GetOverlappedResult(h_, &ov, &n, TRUE);  // the cancelled write may have moved some bytes
        return false;
      }
      Sleep(10);
    }
  }

  HANDLE h_;
  bool device_;
};

OpenResult failed(DWORD err, bool device, const std::string& name) {
  Err number = Err::PathFileAccessError;
  switch (err) {
    case ERROR_FILE_NOT_FOUND: number = Err::FileNotFound; break;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH: number = Err::PathNotFound; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      // A device held by another program is unavailable; a file is refused.
      number = device ? Err::DeviceUnavailable : Err::PermissionDenied;
      break;
    case ERROR_NOT_READY:
    case ERROR_GEN_FAILURE:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BAD_UNIT:
    case ERROR_BUSY: number = Err::DeviceUnavailable; break;
    default: break;
  }
  OpenResult r;
  r.error = static_cast<int>(number);
  r.text = name + ": Windows error " + std::to_string(err);
  return r;
}

}  // namespace

std::string resolve(std::string_view name) {
  if (const int n = detail::lpt_number(name); n > 0) return "LPT" + std::to_string(n);
  return std::string(name);
}

OpenResult open(std::string_view name, Access access) {
  const std::string path = resolve(name);
  if (path.empty()) {
    OpenResult r;
    r.error = static_cast<int>(Err::BadFileNameOrNumber);
    r.text = "empty name";
    return r;
  }
  bool device = is_device_name(path);
  const std::wstring w = wide(path);
  const DWORD rights = GENERIC_WRITE | (access == Access::ReadWrite ? GENERIC_READ : 0);
  HANDLE h = INVALID_HANDLE_VALUE;
  if (device) {
    h = CreateFileW(w.c_str(), rights, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  } else {
    h = CreateFileW(w.c_str(), rights, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    access == Access::Write ? OPEN_ALWAYS : OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
  }
  if (h == INVALID_HANDLE_VALUE) return failed(GetLastError(), device, path);

  // A device name may stand for a file (a printer port redirected to a file
  // on disk, as capture setups and emulators do): it is written like a file,
  // every write at its end, never over what came before.
  if (device && GetFileType(h) == FILE_TYPE_DISK) device = false;

  if (device) {
    // Queues and time-outs of a printer port; devices without them refuse
    // these calls, which is harmless.
    PurgeComm(h, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    SetupComm(h, 1024, 0);
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = 50;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 100;
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = 1000;
    SetCommTimeouts(h, &t);
  }
  OpenResult r;
  r.file = std::make_unique<Win32File>(path, h, device);
  return r;
}

}  // namespace pink::device
