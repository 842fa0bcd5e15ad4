// Edits each command-line argument as a body line through the process's text
// edit binding, the way the spoolers do, and prints one line per result:
// "[" text "]" with blanks kept and every byte outside 0x20..0x7E (and "\")
// written as \xNN. A last line gives the number of load attempts.
#include <cstdio>
#include <string>

#include "textedit/textedit.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string text = pink::textedit::edit(argv[i]);
    std::string shown = "[";
    for (const char ch : text) {
      const auto c = static_cast<unsigned char>(ch);
      if (c >= 0x20 && c <= 0x7E && c != '\\') {
        shown += ch;
      } else {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        shown += hex;
      }
    }
    std::printf("%s]\n", shown.c_str());
  }
  const auto& binding = pink::textedit::process_binding();
  std::printf("load attempts: %d\n", binding.load_attempts());
  if (!binding.load_error().empty()) std::fprintf(stderr, "%s\n", binding.load_error().c_str());
  return 0;
}
