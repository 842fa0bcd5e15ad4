// Windows: always the executable's folder (the variable is a Linux setting).
#include "platform/appfile.h"

#include "platform/dynlib.h"

namespace pink::appfile {

std::string beside_program(std::string_view name, std::string_view) {
  return dynlib::program_folder() + "\\" + std::string(name);
}

}  // namespace pink::appfile
