// Dynamic libraries loaded by file name.
// Windows: "<name>.dll"; Linux: "lib<name>.so". A library is looked for beside
// the module that asks first (the library this code is linked into, so that a
// library loaded by a program in another folder finds its companions beside
// itself), then beside the program, then on the system's usual search path.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace pink::dynlib {

class Library {
 public:
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  // The address of an exported function, or null.
  void* symbol(std::string_view name) const;
  template <typename Fn>
  Fn function(std::string_view name) const {
    return reinterpret_cast<Fn>(symbol(name));
  }
  const std::string& path() const noexcept { return path_; }

 private:
  friend Result<std::unique_ptr<Library>> load(std::string_view);
  Library(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
  void* handle_;
  std::string path_;
};

// Loads the library by its base name ("rcptlib", "XOposPrint"). On failure
// the reason names every place looked in and what the loader said.
Result<std::unique_ptr<Library>> load(std::string_view name);

// The OS file name of a base name ("librcptlib.so", "rcptlib.dll").
std::string file_name(std::string_view name);

// Folder of the running program (ends without a separator).
std::string program_folder();

// Folder of the module this code is linked into: the shared library that
// contains it, or the program (ends without a separator).
std::string module_folder();

// The path of a file beside the module this code is linked into
// ("<module folder>/msgcall.ini"), in cp949 like every path the suite hands
// to files:: and ini::.
std::string beside_module(std::string_view file_name);

}  // namespace pink::dynlib
