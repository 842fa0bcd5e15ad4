// The settings mailbox of the Wine prefix, for the tests of Windows programs
// that report through it: the registry key
// HKCU\Software\VB and VBA Program Settings\pink\<section>, written by
// importing a .reg file and read by exporting one (both UTF-16, so Korean
// texts travel unchanged). Texts are UTF-8 on this side.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/text.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/wine.h"

namespace pink::testing {

class WineMailbox {
 public:
  explicit WineMailbox(const testkit::Wine& wine) : wine_(wine) {}

  // Sets the values of the section (other values of it stay as they are).
  void set(const std::string& section, const std::map<std::string, std::string>& values) const {
    std::u16string text = u"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n[" + key_of(section) + u"]\r\n";
    for (const auto& [name, value] : values) text += quoted(name) + u"=" + quoted(value) + u"\r\n";
    const std::string file = dir_.file("set.reg");
    dir_.write("set.reg", std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
    const auto r = wine_.run("regedit", {"/S", testkit::Wine::windows_path(file)});
    ASSERT_EQ(r.exit_code, 0) << r.err;
  }

  // Every string value of the section.
  std::map<std::string, std::string> get(const std::string& section) const {
    const std::string file = dir_.file("get.reg");
    const std::string key = text::cp949_to_utf8(text::utf16_to_cp949(key_of(section)));
    const auto r = wine_.run("reg", {"export", key, testkit::Wine::windows_path(file), "/y"});
    if (r.exit_code != 0) return {};
    const std::string bytes = dir_.read("get.reg");
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
      text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                      static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    }
    return parse(text);
  }

 private:
  static std::u16string key_of(const std::string& section) {
    return text::cp949_to_utf16(text::utf8_to_cp949(
        "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\pink\\" + section));
  }

  static std::u16string quoted(const std::string& utf8) {
    std::u16string out = u"\"";
    for (char16_t c : text::cp949_to_utf16(text::utf8_to_cp949(utf8))) {
      if (c == u'\\' || c == u'"') out += u'\\';
      out += c;
    }
    return out + u"\"";
  }

  static std::string utf8(const std::u16string& s) { return text::cp949_to_utf8(text::utf16_to_cp949(s)); }

  // Reads a quoted text at `at` (just behind the opening quote); `at` ends
  // behind the closing quote.
  static std::u16string unquote(const std::u16string& line, std::size_t& at) {
    std::u16string out;
    for (; at < line.size() && line[at] != u'"'; ++at) {
      if (line[at] == u'\\' && at + 1 < line.size()) {
        ++at;
        out += line[at] == u'n' ? u'\n' : line[at] == u'r' ? u'\r' : line[at] == u'0' ? u'\0' : line[at];
      } else {
        out += line[at];
      }
    }
    ++at;
    return out;
  }

  // The "name"="text" lines of an exported key.
  static std::map<std::string, std::string> parse(const std::u16string& text) {
    std::map<std::string, std::string> values;
    std::size_t at = 0;
    while (at < text.size()) {
      std::size_t end = text.find(u'\n', at);
      if (end == std::u16string::npos) end = text.size();
      const std::u16string line = text.substr(at, end - at);
      at = end + 1;
      if (line.empty() || line[0] != u'"') continue;
      std::size_t i = 1;
      const std::u16string name = unquote(line, i);
      if (i + 1 >= line.size() || line[i] != u'=' || line[i + 1] != u'"') continue;
      i += 2;
      values[utf8(name)] = utf8(unquote(line, i));
    }
    return values;
  }

  const testkit::Wine& wine_;
  testkit::TempDir dir_;
};

}  // namespace pink::testing
