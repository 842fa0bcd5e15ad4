// Loads each library named on the command line by its base name and prints,
// one line each, what the library says about itself and the file it came
// from, or why it could not be loaded.
#include <cstdio>
#include <string>

#include "platform/dynlib.h"

int main(int argc, char** argv) {
  int failures = 0;
  for (int i = 1; i < argc; ++i) {
    auto lib = pink::dynlib::load(argv[i]);
    if (!lib) {
      std::printf("%s: not loaded: %s\n", argv[i], lib.why().c_str());
      ++failures;
      continue;
    }
    auto where = lib->function<const char* (*)()>("FixtureWhere");
    std::printf("%s: %s from %s\n", argv[i], where ? where() : "?", lib->path().c_str());
  }
  return failures;
}
