#include "platform/win32/com/keystore.h"

#include <vector>

#include "platform/win32/com/values.h"

namespace pink::com {
namespace {

// An open key that closes itself.
struct Key {
  HKEY h = nullptr;
  ~Key() {
    if (h != nullptr) ::RegCloseKey(h);
  }
};

long gone_is_fine(LSTATUS s) { return s == ERROR_FILE_NOT_FOUND || s == ERROR_PATH_NOT_FOUND ? 0 : s; }

}  // namespace

ClassesKey::ClassesKey(Scope scope) {
  const HKEY top = scope == Scope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  error_ = ::RegCreateKeyExW(top, L"Software\\Classes", 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_READ | KEY_WRITE | DELETE, nullptr, &root_, nullptr);
  if (error_ != 0) root_ = nullptr;
}

ClassesKey::~ClassesKey() {
  if (root_ != nullptr) ::RegCloseKey(root_);
}

bool ClassesKey::exists(std::string_view key) {
  Key k;
  return ::RegOpenKeyExW(root_, wide_of_utf8(key).c_str(), 0, KEY_READ, &k.h) == ERROR_SUCCESS;
}

long ClassesKey::create(std::string_view key) {
  Key k;
  return ::RegCreateKeyExW(root_, wide_of_utf8(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                           nullptr, &k.h, nullptr);
}

std::optional<std::string> ClassesKey::read(std::string_view key, std::string_view name) {
  const std::wstring k = wide_of_utf8(key), n = wide_of_utf8(name);
  DWORD bytes = 0;
  if (::RegGetValueW(root_, k.c_str(), n.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
  if (::RegGetValueW(root_, k.c_str(), n.c_str(), RRF_RT_REG_SZ, nullptr, data.data(), &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return utf8_of(data.data());
}

long ClassesKey::write(std::string_view key, std::string_view name, std::string_view data) {
  Key k;
  if (const LSTATUS s = ::RegOpenKeyExW(root_, wide_of_utf8(key).c_str(), 0, KEY_SET_VALUE, &k.h)) return s;
  const std::wstring d = wide_of_utf8(data);
  return ::RegSetValueExW(k.h, wide_of_utf8(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(d.c_str()),
                          static_cast<DWORD>((d.size() + 1) * sizeof(wchar_t)));
}

long ClassesKey::erase_value(std::string_view key, std::string_view name) {
  Key k;
  if (const LSTATUS s = ::RegOpenKeyExW(root_, wide_of_utf8(key).c_str(), 0, KEY_SET_VALUE, &k.h)) {
    return gone_is_fine(s);
  }
  return gone_is_fine(::RegDeleteValueW(k.h, wide_of_utf8(name).c_str()));
}

long ClassesKey::erase_tree(std::string_view key) {
  if (key.empty()) return ERROR_INVALID_PARAMETER;  // never the classes key itself
  return gone_is_fine(::RegDeleteTreeW(root_, wide_of_utf8(key).c_str()));
}

bool ClassesKey::empty(std::string_view key) {
  Key k;
  if (::RegOpenKeyExW(root_, wide_of_utf8(key).c_str(), 0, KEY_READ, &k.h) != ERROR_SUCCESS) return false;
  DWORD subkeys = 0, values = 0;
  if (::RegQueryInfoKeyW(k.h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return subkeys == 0 && values == 0;
}

}  // namespace pink::com
