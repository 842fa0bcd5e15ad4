// Plain files on Windows: wide file functions, names widened from cp949.
#include "platform/files.h"

#include <windows.h>

#include "platform/text.h"

namespace pink::files {
namespace {

std::wstring wide(std::string_view cp949) {
  const std::u16string w = text::cp949_to_utf16(cp949);
  return std::wstring(w.begin(), w.end());
}

bool write_fully(HANDLE h, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t left = bytes.size() - done;
    const DWORD want = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
    DWORD n = 0;
    if (!WriteFile(h, bytes.data() + done, want, &n, nullptr) || n == 0) return false;
    done += n;
  }
  return true;
}

}  // namespace

ReadResult read_all(std::string_view path) {
  ReadResult r;
  HANDLE h = CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    switch (GetLastError()) {
      case ERROR_FILE_NOT_FOUND: r.status = ReadStatus::NotFound; break;
      case ERROR_PATH_NOT_FOUND:
      case ERROR_INVALID_DRIVE: r.status = ReadStatus::PathNotFound; break;
      case ERROR_ACCESS_DENIED:
      case ERROR_SHARING_VIOLATION: r.status = ReadStatus::AccessDenied; break;
      default: r.status = ReadStatus::Failed; break;
    }
    return r;
  }
  char buf[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h, buf, sizeof buf, &n, nullptr)) {
      CloseHandle(h);
      r.bytes.clear();
      r.status = ReadStatus::Failed;
      return r;
    }
    if (n == 0) break;
    r.bytes.append(buf, n);
  }
  CloseHandle(h);
  r.status = ReadStatus::Ok;
  return r;
}

SharedRead read_shared(std::string_view path) {
  HANDLE h = CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const bool busy = GetLastError() == ERROR_SHARING_VIOLATION;
    return {busy ? SharedReadStatus::Busy : SharedReadStatus::Failed, {}};
  }
  SharedRead r{SharedReadStatus::Ok, {}};
  char buf[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h, buf, sizeof buf, &n, nullptr)) {
      CloseHandle(h);
      return {SharedReadStatus::Failed, {}};
    }
    if (n == 0) break;
    r.bytes.append(buf, n);
  }
  CloseHandle(h);
  return r;
}

AppendStatus append(std::string_view path, std::string_view bytes) {
  HANDLE h = CreateFileW(wide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    switch (GetLastError()) {
      case ERROR_PATH_NOT_FOUND:
      case ERROR_INVALID_DRIVE:
      case ERROR_FILE_NOT_FOUND: return AppendStatus::PathNotFound;
      case ERROR_ACCESS_DENIED:
      case ERROR_SHARING_VIOLATION:
      case ERROR_WRITE_PROTECT: return AppendStatus::AccessDenied;
      default: return AppendStatus::Failed;
    }
  }
  const bool ok = write_fully(h, bytes);
  return (CloseHandle(h) && ok) ? AppendStatus::Ok : AppendStatus::Failed;
}

bool write_all(std::string_view path, std::string_view bytes) {
  HANDLE h = CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = write_fully(h, bytes);
  return CloseHandle(h) && ok;
}

bool exists(std::string_view path) { return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

bool make_folder(std::string_view path) {
  const std::wstring w = wide(path);
  if (CreateDirectoryW(w.c_str(), nullptr)) return true;
  const DWORD attributes = GetFileAttributesW(w.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Like the run-time's Dir: the name on disk of the first normal file that
// matches (folders, hidden and system files are not listed).
std::optional<std::string> lookup_name(std::string_view path) {
  WIN32_FIND_DATAW data{};
  HANDLE h = FindFirstFileW(wide(path).c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<std::string> name;
  do {
    constexpr DWORD kSkip = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if ((data.dwFileAttributes & kSkip) == 0) {
      name = text::utf16_to_cp949(std::u16string_view(reinterpret_cast<const char16_t*>(data.cFileName)));
      break;
    }
  } while (FindNextFileW(h, &data));
  FindClose(h);
  return name;
}

std::string native_path(std::string_view path) { return std::string(path); }

}  // namespace pink::files
