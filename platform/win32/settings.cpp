// Settings store in the per-user registry, exactly where the POS reads and
// writes it: HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<app>\<section>,
// one string value per key. Names and values cross as UTF-16, converted from
// and to cp949 through code page 949.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/settings.h"
#include "platform/text.h"

namespace pink::settings {
namespace {

constexpr char kRootText[] = "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings";
constexpr wchar_t kRoot[] = L"Software\\VB and VBA Program Settings";

std::wstring wide(std::string_view cp949) {
  const std::u16string u = text::cp949_to_utf16(cp949);
  return std::wstring(u.begin(), u.end());
}

std::string narrow(std::wstring_view w) {
  return text::utf16_to_cp949(std::u16string(w.begin(), w.end()));
}

std::wstring key_path(std::string_view app, std::optional<std::string_view> section) {
  std::wstring path = kRoot;
  path += L'\\';
  path += wide(app);
  if (section) {
    path += L'\\';
    path += wide(*section);
  }
  return path;
}

std::string system_message(LONG code) {
  wchar_t* buf = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::wstring text = n != 0 && buf != nullptr ? std::wstring(buf, n) : std::wstring();
  if (buf != nullptr) ::LocalFree(buf);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.pop_back();
  }
  if (text.empty()) return "error " + std::to_string(code);
  return narrow(text);
}

[[noreturn]] void fail(std::string_view app, std::optional<std::string_view> section, LONG code) {
  std::string where = std::string(kRootText) + "\\" + std::string(app);
  if (section) where += "\\" + std::string(*section);
  throw Failure(Err::PathFileAccessError, describe(Err::PathFileAccessError),
                "settings store " + where + ": " + system_message(code));
}

class Key {
 public:
  Key() = default;
  ~Key() {
    if (h_ != nullptr) ::RegCloseKey(h_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY* out() { return &h_; }
  HKEY get() const { return h_; }

 private:
  HKEY h_ = nullptr;
};

// Opens an existing key; false when it does not exist.
bool open(std::string_view app, std::optional<std::string_view> section, REGSAM access, Key& key) {
  const LONG rc = ::RegOpenKeyExW(HKEY_CURRENT_USER, key_path(app, section).c_str(), 0, access, key.out());
  if (rc == ERROR_FILE_NOT_FOUND) return false;
  if (rc != ERROR_SUCCESS) fail(app, section, rc);
  return true;
}

// The text of a string value's data (the terminating NULs removed); other
// value types read as empty, as the run-time's GetSetting gives them.
std::string value_text(DWORD type, const std::vector<BYTE>& data, DWORD size) {
  if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
  std::wstring w(size / sizeof(wchar_t), L'\0');
  std::copy_n(data.data(), w.size() * sizeof(wchar_t), reinterpret_cast<BYTE*>(w.data()));
  while (!w.empty() && w.back() == L'\0') w.pop_back();
  return narrow(w);
}

// Every value of an open section key, appended to `out`.
void read_values(std::string_view app, std::string_view section, HKEY h, std::vector<Entry>& out) {
  std::vector<wchar_t> name(256);
  std::vector<BYTE> data(512);
  for (DWORD index = 0;;) {
    DWORD name_len = static_cast<DWORD>(name.size());
    DWORD size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    const LONG rc = ::RegEnumValueW(h, index, name.data(), &name_len, nullptr, &type, data.data(), &size);
    if (rc == ERROR_NO_MORE_ITEMS) return;
    if (rc == ERROR_MORE_DATA) {
      // Value names are at most 16383 characters; data may be longer.
      name.resize(16384);
      data.resize(std::max<std::size_t>(data.size() * 2, size));
      continue;
    }
    if (rc != ERROR_SUCCESS) fail(app, section, rc);
    out.push_back({std::string(section), narrow(std::wstring_view(name.data(), name_len)),
                   value_text(type, data, size)});
    ++index;
  }
}

}  // namespace

std::string get(std::string_view app, std::string_view section, std::string_view key) {
  Key h;
  if (!open(app, section, KEY_QUERY_VALUE, h)) return {};
  const std::wstring name = wide(key);
  std::vector<BYTE> data(256);
  for (;;) {
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size());
    const LONG rc = ::RegQueryValueExW(h.get(), name.c_str(), nullptr, &type, data.data(), &size);
    if (rc == ERROR_FILE_NOT_FOUND) return {};
    if (rc == ERROR_MORE_DATA) {
      data.resize(static_cast<std::size_t>(size) + sizeof(wchar_t));
      continue;
    }
    if (rc != ERROR_SUCCESS) fail(app, section, rc);
    return value_text(type, data, size);
  }
}

void put(std::string_view app, std::string_view section, std::string_view key,
         std::string_view value) {
  Key h;
  LONG rc = ::RegCreateKeyExW(HKEY_CURRENT_USER, key_path(app, section).c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, h.out(), nullptr);
  if (rc != ERROR_SUCCESS) fail(app, section, rc);
  const std::wstring name = wide(key);
  const std::wstring data = wide(value);
  rc = ::RegSetValueExW(h.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  if (rc != ERROR_SUCCESS) fail(app, section, rc);
}

std::vector<Entry> list(std::string_view app, std::optional<std::string_view> section) {
  std::vector<Entry> entries;
  if (section) {
    Key h;
    if (open(app, section, KEY_QUERY_VALUE, h)) read_values(app, *section, h.get(), entries);
  } else {
    Key root;
    if (!open(app, std::nullopt, KEY_ENUMERATE_SUB_KEYS, root)) return entries;
    std::vector<std::string> sections;
    wchar_t name[256];  // key names are at most 255 characters
    for (DWORD index = 0;; ++index) {
      DWORD len = 256;
      const LONG rc = ::RegEnumKeyExW(root.get(), index, name, &len, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      if (rc != ERROR_SUCCESS) fail(app, std::nullopt, rc);
      sections.push_back(narrow(std::wstring_view(name, len)));
    }
    for (const auto& s : sections) {
      Key h;
      if (open(app, s, KEY_QUERY_VALUE, h)) read_values(app, s, h.get(), entries);
    }
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    if (const int c = text::compare_nocase(a.section, b.section); c != 0) return c < 0;
    return text::compare_nocase(a.key, b.key) < 0;
  });
  return entries;
}

std::string location() { return kRootText; }

}  // namespace pink::settings
