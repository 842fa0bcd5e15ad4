// Plain files on Linux. Names arrive as cp949 with the suite's Windows-style
// separators; they are mapped with native_path and turned into UTF-8 here.
#include "platform/files.h"

#include <cerrno>
#include <cstring>
#include <limits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text.h"

namespace pink::files {
namespace {

std::string os_path(std::string_view path) { return text::cp949_to_utf8(native_path(path)); }

bool folder_exists(const std::string& path) {
  const auto slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  struct stat st{};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int open_retrying(const std::string& path, int flags) {
  int fd = -1;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool write_fully(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(w);
  }
  return true;
}

ReadStatus open_failure(const std::string& p) {
  switch (errno) {
    case ENOENT: return folder_exists(p) ? ReadStatus::NotFound : ReadStatus::PathNotFound;
    case ENOTDIR: return ReadStatus::PathNotFound;
    case EACCES:
    case EPERM: return ReadStatus::AccessDenied;
    default: return ReadStatus::Failed;
  }
}

// Reads at most max_bytes + 1 bytes: one byte more than allowed is enough to
// know that the file is too large.
ReadStatus read_limited(int fd, std::uint64_t max_bytes, std::uint64_t size_hint, std::string& out) {
  if (size_hint <= max_bytes) out.reserve(static_cast<std::size_t>(size_hint));
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return ReadStatus::Failed;
    }
    if (n == 0) return ReadStatus::Ok;
    if (static_cast<std::uint64_t>(n) > max_bytes - out.size()) return ReadStatus::TooLarge;
    out.append(buf, static_cast<std::size_t>(n));
  }
}

}  // namespace

// The name is looked at before it is opened, so that a device is never
// opened at all (opening a serial line raises its control lines) and a pipe
// never blocks the open; the open file is looked at again, in case the name
// was changed between the two.
ReadResult read_all(std::string_view path, std::uint64_t max_bytes) {
  const std::string p = os_path(path);
  ReadResult r;
  struct stat st{};
  if (::stat(p.c_str(), &st) != 0) {
    r.status = open_failure(p);
    return r;
  }
  if (!S_ISREG(st.st_mode)) {
    r.status = ReadStatus::NotAFile;
    return r;
  }
  const int fd = open_retrying(p, O_RDONLY | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    r.status = open_failure(p);
    return r;
  }
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    r.status = ReadStatus::NotAFile;
    return r;
  }
  if (static_cast<std::uint64_t>(st.st_size) > max_bytes) {
    ::close(fd);
    r.status = ReadStatus::TooLarge;
    return r;
  }
  r.status = read_limited(fd, max_bytes, static_cast<std::uint64_t>(st.st_size), r.bytes);
  ::close(fd);
  if (r.status != ReadStatus::Ok) r.bytes = std::string();
  return r;
}

// Linux has no mandatory locks: a file another process has open can always
// be opened for reading, so Busy never comes from here.
SharedRead read_shared(std::string_view path) {
  ReadResult r = read_all(path, std::numeric_limits<std::size_t>::max());
  if (r.status != ReadStatus::Ok) return {SharedReadStatus::Failed, {}};
  return {SharedReadStatus::Ok, std::move(r.bytes)};
}

AppendStatus append(std::string_view path, std::string_view bytes) {
  const std::string p = os_path(path);
  const int fd = open_retrying(p, O_WRONLY | O_APPEND | O_CREAT);
  if (fd < 0) {
    switch (errno) {
      case ENOENT:
      case ENOTDIR: return AppendStatus::PathNotFound;
      case EACCES:
      case EPERM:
      case EROFS: return AppendStatus::AccessDenied;
      default: return AppendStatus::Failed;
    }
  }
  const bool ok = write_fully(fd, bytes);
  const bool no_space = !ok && (errno == ENOSPC || errno == EDQUOT);
  const bool closed = ::close(fd) == 0;
  if (no_space || (!closed && (errno == ENOSPC || errno == EDQUOT))) return AppendStatus::NoSpace;
  return (closed && ok) ? AppendStatus::Ok : AppendStatus::Failed;
}

Result<void> write_all(std::string_view path, std::string_view bytes) {
  auto failed = [&](int err) { return Result<void>::failure(std::string(path) + ": " + std::strerror(err)); };
  const int fd = open_retrying(os_path(path), O_WRONLY | O_TRUNC | O_CREAT);
  if (fd < 0) return failed(errno);
  const int write_error = write_fully(fd, bytes) ? 0 : errno;
  // A failed close can be the first report of a failed write (NFS, a full disk).
  const int close_error = ::close(fd) == 0 ? 0 : errno;
  if (write_error != 0 || close_error != 0) return failed(write_error != 0 ? write_error : close_error);
  return {};
}

bool exists(std::string_view path) {
  struct stat st{};
  return ::stat(os_path(path).c_str(), &st) == 0;
}

bool make_folder(std::string_view path) {
  const std::string os = os_path(path);
  if (::mkdir(os.c_str(), 0777) == 0) return true;
  struct stat st{};
  return errno == EEXIST && ::stat(os.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::string> lookup_name(std::string_view path) {
  const std::string mapped = native_path(path);
  struct stat st{};
  if (::stat(text::cp949_to_utf8(mapped).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  const auto slash = mapped.find_last_of('/');
  return slash == std::string::npos ? mapped : mapped.substr(slash + 1);
}

// ".\zorlog\ZorVB.log" -> "zorlog/ZorVB.log". Double-byte characters are
// stepped over whole, so that no trail byte is ever taken for a separator.
std::string full_path(std::string_view path) {
  std::string native = native_path(path);
  if (!native.empty() && native[0] == '/') return native;
  char buf[4096];
  if (::getcwd(buf, sizeof buf) == nullptr) return native;
  std::string cwd = text::utf8_to_cp949(buf);
  if (cwd.empty() || cwd.back() != '/') cwd += '/';
  return cwd + native;
}

std::string native_path(std::string_view path) {
  if (path.size() >= 2 && path[0] == '.' && (path[1] == '\\' || path[1] == '/')) path.remove_prefix(2);
  std::string out;
  out.reserve(path.size());
  for (std::size_t i = 0; i < path.size();) {
    const std::size_t n = text::char_length_at(path, i);
    if (n == 1 && path[i] == '\\') {
      out += '/';
    } else {
      out.append(path.substr(i, n));
    }
    i += n;
  }
  return out;
}

}  // namespace pink::files
