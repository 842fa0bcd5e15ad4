// Linux names the program's folder and the variable's value in UTF-8; the
// files:: functions take cp949 and turn it back at their boundary.
#include "platform/appfile.h"

#include "platform/dynlib.h"
#include "platform/env.h"
#include "platform/text.h"

namespace pink::appfile {

std::string beside_program(std::string_view name, std::string_view variable) {
  if (auto set = env::get(variable)) return text::utf8_to_cp949(*set);
  return text::utf8_to_cp949(dynlib::program_folder()) + "/" + std::string(name);
}

}  // namespace pink::appfile
