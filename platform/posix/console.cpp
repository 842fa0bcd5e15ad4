#include "platform/console.h"

#include <unistd.h>

#include "platform/text.h"

namespace pink::console {
namespace {

void write_fd(int fd, std::string_view cp949) {
  const std::string utf8 = text::cp949_to_utf8(cp949);
  std::size_t done = 0;
  while (done < utf8.size()) {
    ssize_t n = ::write(fd, utf8.data() + done, utf8.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

std::vector<std::string> arguments(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(text::utf8_to_cp949(argv[i]));
  return args;
}

void out(std::string_view cp949) { write_fd(1, cp949); }
void err(std::string_view cp949) { write_fd(2, cp949); }

}  // namespace pink::console
