// Dynamic libraries on Linux: "lib<name>.so", taken from the program's own
// folder first (as Windows finds a DLL beside the program), then from the
// usual search path of the dynamic loader.
#include "platform/dynlib.h"

#include <dlfcn.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace pink::dynlib {

Library::~Library() {
  if (handle_ != nullptr) ::dlclose(handle_);
}

void* Library::symbol(std::string_view name) const {
  const std::string n(name);
  return ::dlsym(handle_, n.c_str());
}

std::string file_name(std::string_view name) { return "lib" + std::string(name) + ".so"; }

std::string program_folder() {
  std::vector<char> buf(PATH_MAX);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return ".";
    if (static_cast<std::size_t>(n) < buf.size()) {
      const std::string exe(buf.data(), static_cast<std::size_t>(n));
      const auto slash = exe.find_last_of('/');
      if (slash == std::string::npos) return ".";
      if (slash == 0) return "/";
      return exe.substr(0, slash);
    }
    buf.resize(buf.size() * 2);
  }
}

std::unique_ptr<Library> load(std::string_view name, std::string* error_text) {
  const std::string file = file_name(name);
  std::string errors;
  auto try_open = [&](const std::string& what) -> void* {
    void* h = ::dlopen(what.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr) {
      const char* e = ::dlerror();
      if (!errors.empty()) errors += "; ";
      errors += e != nullptr ? e : what;
    }
    return h;
  };

  const std::string beside = program_folder() + "/" + file;
  struct stat st{};
  if (::stat(beside.c_str(), &st) == 0) {
    if (void* h = try_open(beside)) return std::unique_ptr<Library>(new Library(h, beside));
  }
  if (void* h = try_open(file)) return std::unique_ptr<Library>(new Library(h, file));
  if (error_text) *error_text = errors;
  return nullptr;
}

}  // namespace pink::dynlib
