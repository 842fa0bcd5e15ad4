// Message boxes on Windows: no owner, an OK button, waiting for the user.
// The cp949 text is widened with code page 949 explicitly, so Korean text
// reads right whatever the machine's ANSI code page is.
#include "platform/msgbox.h"

#include <windows.h>

#include <string>

#include "platform/text.h"

namespace pink::msgbox {

void show(std::string_view text_cp949, std::string_view caption_cp949) {
  const std::u16string t = text::cp949_to_utf16(text_cp949);
  const std::u16string c = text::cp949_to_utf16(caption_cp949);
  const std::wstring wt(t.begin(), t.end());
  const std::wstring wc(c.begin(), c.end());
  MessageBoxW(nullptr, wt.c_str(), wc.c_str(), MB_OK);
}

void note(std::string_view text_cp949, std::string_view source_cp949) {
  std::string line(source_cp949);
  line += ": ";
  line += text_cp949;
  line += "\r\n";
  const std::u16string t = text::cp949_to_utf16(line);
  const std::wstring wt(t.begin(), t.end());
  OutputDebugStringW(wt.c_str());
}

}  // namespace pink::msgbox
