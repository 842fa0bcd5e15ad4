// Plain files on Linux. Names arrive as cp949 with the suite's Windows-style
// separators; they are mapped with native_path and turned into UTF-8 here.
#include "platform/files.h"

#include <cerrno>
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

}  // namespace

ReadResult read_all(std::string_view path) {
  const std::string p = os_path(path);
  ReadResult r;
  const int fd = open_retrying(p, O_RDONLY);
  if (fd < 0) {
    switch (errno) {
      case ENOENT: r.status = folder_exists(p) ? ReadStatus::NotFound : ReadStatus::PathNotFound; break;
      case ENOTDIR: r.status = ReadStatus::PathNotFound; break;
      case EACCES:
      case EPERM: r.status = ReadStatus::AccessDenied; break;
      default: r.status = ReadStatus::Failed; break;
    }
    return r;
  }
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      r.bytes.clear();
      r.status = ReadStatus::Failed;  // also a folder given as a file
      return r;
    }
    if (n == 0) break;
    r.bytes.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  r.status = ReadStatus::Ok;
  return r;
}

// Linux has no mandatory locks: a file another process has open can always
// be opened for reading, so Busy never comes from here.
SharedRead read_shared(std::string_view path) {
  ReadResult r = read_all(path);
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
  return (::close(fd) == 0 && ok) ? AppendStatus::Ok : AppendStatus::Failed;
}

bool write_all(std::string_view path, std::string_view bytes) {
  const int fd = open_retrying(os_path(path), O_WRONLY | O_TRUNC | O_CREAT);
  if (fd < 0) return false;
  const bool ok = write_fully(fd, bytes);
  return ::close(fd) == 0 && ok;
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
