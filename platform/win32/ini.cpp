// INI files on Windows: the private-profile functions themselves, with the
// path used as given (callers pass full paths; a bare name would mean a file
// in the Windows folder).
#include <windows.h>

#include <string>
#include <vector>

#include "platform/ini.h"

namespace pink::ini {

std::string read(std::string_view path, std::string_view section, std::string_view key,
                 std::string_view fallback) {
  // Names are cut at a line break as a write cuts them, so that a read finds
  // what the write wrote.
  const std::string p(path), s(text::first_line(section)), k(text::first_line(key)), d(fallback);
  std::vector<char> buf(256);
  for (;;) {
    const DWORD n = ::GetPrivateProfileStringA(s.c_str(), k.c_str(), d.c_str(), buf.data(),
                                               static_cast<DWORD>(buf.size()), p.c_str());
    // A result that fills the buffer may have been cut short.
    if (n + 1 < buf.size() || buf.size() >= 65536) return std::string(buf.data(), n);
    buf.resize(buf.size() * 4);
  }
}

// GetPrivateProfileIntA gives 0 for a value that is not a number; the text is
// read instead so that such a value gives the fallback here as it does on
// every platform.
long read_int(std::string_view path, std::string_view section, std::string_view key,
              long fallback) {
  return text::to_int(read(path, section, key, ""), fallback);
}

bool write(std::string_view path, std::string_view section, std::string_view key,
           std::string_view value) {
  // A line break would end a name or the value early and start lines of its
  // own (new keys, new sections): each is cut at its first one.
  const std::string p(path), s(text::first_line(section)), k(text::first_line(key)), v(text::first_line(value));
  return ::WritePrivateProfileStringA(s.c_str(), k.c_str(), v.c_str(), p.c_str()) != FALSE;
}

}  // namespace pink::ini
