// Message boxes. Windows: a message box with no owner and an OK button,
// waiting for the user (the text widened with code page 949 explicitly).
// Linux: "caption: text" on standard error; never blocks.
#pragma once

#include <string_view>

namespace pink::msgbox {

void show(std::string_view text_cp949, std::string_view caption_cp949);

// A note for people that interrupts nobody, from a library that has no
// other way to say why a call did nothing: "source: text" on standard error
// on Linux; the debugger output (OutputDebugString) on Windows.
void note(std::string_view text_cp949, std::string_view source_cp949);

}  // namespace pink::msgbox
