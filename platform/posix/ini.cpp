// INI files on POSIX: the private-profile rules of ini::text over the file's
// bytes. The path is cp949 like every text of the suite and is converted to
// the native UTF-8 name here; the file's content stays cp949.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "platform/ini.h"
#include "platform/text.h"

namespace pink::ini {
namespace {

enum class Load { Ok, Missing, Failed };

Load load(const std::string& path, std::string* bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? Load::Missing : Load::Failed;
  bytes->clear();
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return Load::Failed;
    }
    if (n == 0) break;
    bytes->append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return Load::Ok;
}

bool write_fd(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool write_in_place(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const bool ok = write_fd(fd, bytes);
  return ::close(fd) == 0 && ok;
}

// Replaces the file through a new file beside it, so that a reader (or a
// crash) never sees half a file. A symbolic link is written through in
// place, and so is a file whose folder takes no new files.
bool replace(const std::string& path, std::string_view bytes, bool existed) {
  struct stat st {};
  const bool have_stat = existed && ::lstat(path.c_str(), &st) == 0;
  if (have_stat && !S_ISREG(st.st_mode)) return write_in_place(path, bytes);

  static std::atomic<unsigned> counter{0};
  const std::string temp = path + ".~" + std::to_string(::getpid()) + "-" +
                           std::to_string(counter.fetch_add(1));
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno == ENOENT ? false : write_in_place(path, bytes);
  bool ok = write_fd(fd, bytes);
  if (ok && have_stat) ::fchmod(fd, st.st_mode & 07777);
  ok = ::close(fd) == 0 && ok;
  if (ok && ::rename(temp.c_str(), path.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

}  // namespace

std::string read(std::string_view path, std::string_view section, std::string_view key,
                 std::string_view fallback) {
  std::string bytes;
  if (load(pink::text::cp949_to_utf8(path), &bytes) != Load::Ok) return std::string(fallback);
  return text::lookup(bytes, section, key, fallback);
}

long read_int(std::string_view path, std::string_view section, std::string_view key,
              long fallback) {
  return text::to_int(read(path, section, key, ""), fallback);
}

bool write(std::string_view path, std::string_view section, std::string_view key,
           std::string_view value) {
  const std::string native = pink::text::cp949_to_utf8(path);
  std::string bytes;
  const Load loaded = load(native, &bytes);
  if (loaded == Load::Failed) return false;
  return replace(native, text::update(bytes, section, key, value), loaded == Load::Ok);
}

}  // namespace pink::ini
