// Dynamic libraries on Linux: "lib<name>.so", taken from the folder of the
// module that asks (found with dladdr), then from the program's own folder (as
// Windows finds a DLL beside the program), then from the "lib" folder beside
// the program's (the installed layout, bin/ and lib/ under one prefix), then
// from the usual search path of the dynamic loader.
#include "platform/dynlib.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/text.h"

namespace pink::dynlib {
namespace {

// An address inside the module this copy of the platform layer is linked
// into; every library of the suite links its own copy.
const int g_module_anchor = 0;

std::string folder_of(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool is_file(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

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
      return folder_of(std::string(buf.data(), static_cast<std::size_t>(n)));
    }
    buf.resize(buf.size() * 2);
  }
}

std::string module_folder() {
  Dl_info info{};
  // The loader names the main program by the name it was started with, which
  // may not be a path at all; only a name with a folder in it is taken.
  if (::dladdr(&g_module_anchor, &info) == 0 || info.dli_fname == nullptr ||
      std::string(info.dli_fname).find('/') == std::string::npos) {
    return program_folder();
  }
  char* real = ::realpath(info.dli_fname, nullptr);
  if (real == nullptr) return program_folder();
  const std::string path = real;
  ::free(real);
  return folder_of(path);
}

// The folder is a UTF-8 name; the suite's paths are cp949.
std::string beside_module(std::string_view file_name) {
  return text::utf8_to_cp949(module_folder()) + "/" + std::string(file_name);
}

Result<std::unique_ptr<Library>> load(std::string_view name) {
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

  std::vector<std::string> folders{module_folder()};
  const std::string program = program_folder();
  if (program != folders.front()) folders.push_back(program);
  // Found here without relying on the program's run path, which the loader
  // does not apply when an interposed dlopen (a sanitizer's) is the caller.
  folders.push_back(folder_of(program) + "/lib");
  for (const std::string& folder : folders) {
    const std::string beside = folder + "/" + file;
    if (!is_file(beside)) {
      // Every place looked in is named, for the message of a failed load.
      if (!errors.empty()) errors += "; ";
      errors += "no " + beside;
      continue;
    }
    if (void* h = try_open(beside)) return std::unique_ptr<Library>(new Library(h, beside));
  }
  if (void* h = try_open(file)) return std::unique_ptr<Library>(new Library(h, file));
  return Result<std::unique_ptr<Library>>::failure(std::move(errors));
}

}  // namespace pink::dynlib
