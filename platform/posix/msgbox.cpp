// Message boxes on Linux: nobody is there to press OK, so the message goes to
// standard error and the program carries on.
#include "platform/msgbox.h"

#include <cstdio>
#include <string>

#include "platform/text.h"

namespace pink::msgbox {

void show(std::string_view text_cp949, std::string_view caption_cp949) {
  const std::string line = text::cp949_to_utf8(caption_cp949) + ": " + text::cp949_to_utf8(text_cp949) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

void note(std::string_view text_cp949, std::string_view source_cp949) { show(text_cp949, source_cp949); }

}  // namespace pink::msgbox
