// Writes the IDL of one class (see idlgen.h) to the file named by its only
// argument. A table that cannot be written as IDL fails the build with the
// reason.
#include "automation/idlgen.h"

#include <cstdio>
#include <string>

#include "automation/idl.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.idl\n", argc > 0 ? argv[0] : "idlgen");
    return 2;
  }
  const auto& c = pink::automation::idlgen::the_class();
  std::string idl;
  pink::automation::IdlOptions options;
  options.control = pink::automation::idlgen::is_control();
  if (const char* fault = pink::automation::idl_of(c, options, idl)) {
    std::fprintf(stderr, "%s: the member table of %s cannot be written as IDL: %s\n", argv[0], c.name, fault);
    return 1;
  }
  std::FILE* f = std::fopen(argv[1], "wb");
  if (f == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const bool written = std::fwrite(idl.data(), 1, idl.size(), f) == idl.size();
  if (std::fclose(f) != 0 || !written) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
    return 1;
  }
  return 0;
}
