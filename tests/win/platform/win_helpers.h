// Helpers of the Windows test programs: what the test that runs them under
// Wine hands over in the environment, and direct looks at the system.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "platform/env.h"
#include "platform/text.h"

namespace pink::wintest {

inline std::wstring wide(std::string_view cp949) {
  const std::u16string w = text::cp949_to_utf16(cp949);
  return std::wstring(w.begin(), w.end());
}

// A value the running test put in the environment (cp949), or a skip-worthy
// empty text when it is missing.
inline std::string given(const char* name) { return env::get(name).value_or(""); }

// A folder of the test's own (a Windows path, without a trailing separator).
inline std::string work_folder() { return given("PINK_TEST_DIR"); }

// The string value of a registry key, as stored (UTF-16).
inline std::optional<std::wstring> registry_string(HKEY root, const std::wstring& key, const std::wstring& value) {
  DWORD size = 0;
  if (RegGetValueW(root, key.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::vector<wchar_t> buf(size / sizeof(wchar_t) + 1);
  if (RegGetValueW(root, key.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, buf.data(), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(buf.data());
}

}  // namespace pink::wintest

// Every suite that needs something from the running test checks for it first.
#define PINK_REQUIRE_GIVEN(name) \
  if (::pink::wintest::given(name).empty()) GTEST_FAIL() << name << " is not set by the running test"
