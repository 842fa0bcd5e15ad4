// Files that live beside the program, such as a program's own settings file,
// named the way the files:: functions take names (cp949).
#pragma once

#include <string>
#include <string_view>

namespace pink::appfile {

// The file `name` in the folder of the program's executable: on Windows that
// folder followed by "\" and the name. On Linux "<folder>/<name>", or the
// value of the environment variable `variable` when it is set (so that a
// terminal can keep the file elsewhere, and tests can point at their own).
std::string beside_program(std::string_view name, std::string_view variable);

}  // namespace pink::appfile
