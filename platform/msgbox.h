// Message boxes. Windows: a message box with no owner and an OK button,
// waiting for the user (the text widened with code page 949 explicitly).
// Linux: "caption: text" on standard error; never blocks.
#pragma once

#include <string_view>

namespace pink::msgbox {

void show(std::string_view text_cp949, std::string_view caption_cp949);

}  // namespace pink::msgbox
