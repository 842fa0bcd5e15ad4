// Plain files on Windows: wide file functions, names widened from cp949.
#include "platform/files.h"

#include <windows.h>

#include <limits>
#include <new>

#include "platform/text.h"
#include "platform/win32/system_text.h"

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

// Reads the whole of an open handle when it is a plain file of at most
// max_bytes bytes (a console, a serial line, a pipe or a printer port would
// never end or would block); at most max_bytes + 1 bytes are ever read.
ReadStatus read_plain(HANDLE h, std::uint64_t max_bytes, std::string& out) {
  if (GetFileType(h) != FILE_TYPE_DISK) return ReadStatus::NotAFile;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) return ReadStatus::Failed;
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return ReadStatus::NotAFile;
  const std::uint64_t size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  if (size > max_bytes) return ReadStatus::TooLarge;
  if (size > out.max_size()) return ReadStatus::Failed;
  out.reserve(static_cast<std::size_t>(size));
  char buf[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h, buf, sizeof buf, &n, nullptr)) return ReadStatus::Failed;
    if (n == 0) return ReadStatus::Ok;
    if (n > max_bytes - out.size()) return ReadStatus::TooLarge;
    out.append(buf, n);
  }
}

HANDLE open_for_reading(std::string_view path) {
  return CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

ReadResult read_handle(HANDLE h, std::uint64_t max_bytes) {
  ReadResult r;
  try {
    r.status = read_plain(h, max_bytes, r.bytes);
  } catch (const std::bad_alloc&) {
    r.status = ReadStatus::Failed;
  }
  CloseHandle(h);
  if (r.status != ReadStatus::Ok) r.bytes = std::string();
  return r;
}

}  // namespace

// A name with the attributes of a folder or a device is refused before it is
// opened (opening a serial line would take it from its owner for a moment).
ReadResult read_all(std::string_view path, std::uint64_t max_bytes) {
  const DWORD attributes = GetFileAttributesW(wide(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) {
    return {ReadStatus::NotAFile, {}};
  }
  HANDLE h = open_for_reading(path);
  if (h == INVALID_HANDLE_VALUE) {
    switch (GetLastError()) {
      case ERROR_FILE_NOT_FOUND: return {ReadStatus::NotFound, {}};
      case ERROR_PATH_NOT_FOUND:
      case ERROR_INVALID_DRIVE: return {ReadStatus::PathNotFound, {}};
      case ERROR_ACCESS_DENIED:
      case ERROR_SHARING_VIOLATION: return {ReadStatus::AccessDenied, {}};
      default: return {ReadStatus::Failed, {}};
    }
  }
  return read_handle(h, max_bytes);
}

SharedRead read_shared(std::string_view path) {
  HANDLE h = open_for_reading(path);
  if (h == INVALID_HANDLE_VALUE) {
    const bool busy = GetLastError() == ERROR_SHARING_VIOLATION;
    return {busy ? SharedReadStatus::Busy : SharedReadStatus::Failed, {}};
  }
  ReadResult r = read_handle(h, std::numeric_limits<std::size_t>::max());
  if (r.status != ReadStatus::Ok) return {SharedReadStatus::Failed, {}};
  return {SharedReadStatus::Ok, std::move(r.bytes)};
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
  const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
  if (!CloseHandle(h) && ok) return AppendStatus::Failed;
  if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) return AppendStatus::NoSpace;
  return ok ? AppendStatus::Ok : AppendStatus::Failed;
}

Result<void> write_all(std::string_view path, std::string_view bytes) {
  auto failed = [&](DWORD err) { return Result<void>::failure(std::string(path) + ": " + win32::system_text(err)); };
  HANDLE h = CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return failed(GetLastError());
  DWORD write_error = 0;
  if (!write_fully(h, bytes)) {
    // A write that took nothing without an error code still failed.
    write_error = GetLastError() != 0 ? GetLastError() : static_cast<DWORD>(ERROR_WRITE_FAULT);
  }
  const DWORD close_error = CloseHandle(h) ? 0 : GetLastError();
  if (write_error != 0 || close_error != 0) return failed(write_error != 0 ? write_error : close_error);
  return {};
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

std::string full_path(std::string_view path) {
  const std::wstring w = wide(path);
  const DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
  if (n == 0) return std::string(path);
  std::wstring full(n, L'\0');
  const DWORD got = GetFullPathNameW(w.c_str(), n, full.data(), nullptr);
  if (got == 0 || got >= n) return std::string(path);
  full.resize(got);
  return text::utf16_to_cp949(std::u16string(full.begin(), full.end()));
}

}  // namespace pink::files
