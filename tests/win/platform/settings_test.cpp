// The settings store on the registry: where values land (the branch the POS
// reads and writes), Korean names and values through code page 949 both
// ways, names that compare without regard to case, and listing.
#include "platform/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

#include "tests/win/platform/win_helpers.h"

namespace pink {
namespace {

// "포트지정오류 " in cp949 and as the registry holds it.
const std::string kPortError = "\xC6\xF7\xC6\xAE\xC1\xF6\xC1\xA4\xBF\xC0\xB7\xF9 ";
const std::wstring kPortErrorWide = L"\uD3EC\uD2B8\uC9C0\uC815\uC624\uB958 ";

// An application name of this run only, removed with everything under it.
struct ScratchApp {
  std::string name = "pinktest-" + std::to_string(GetCurrentProcessId());
  std::wstring key = L"Software\\VB and VBA Program Settings\\" + wintest::wide(name);
  ~ScratchApp() { RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str()); }
};

TEST(Settings, ValuesLandWhereThePosReadsThemInUtf16) {
  ScratchApp app;
  settings::put(app.name, "floyd", "prttw_text", kPortError);
  const auto raw = wintest::registry_string(HKEY_CURRENT_USER, app.key + L"\\floyd", L"prttw_text");
  ASSERT_TRUE(raw.has_value());
  EXPECT_EQ(*raw, kPortErrorWide);
  EXPECT_EQ(settings::location(), "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings");

  // What the POS writes (UTF-16 through the registry functions) reads as cp949.
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (app.key + L"\\spiro").c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &k, nullptr),
            ERROR_SUCCESS);
  const std::wstring v = L"\uD55C\uAE00 OK";  // "한글 OK"
  RegSetValueExW(k, L"\uD3EC\uD2B8", 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                 static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(k);
  EXPECT_EQ(settings::get(app.name, "spiro", "\xC6\xF7\xC6\xAE"), "\xC7\xD1\xB1\xDB OK");
}

TEST(Settings, ReadsWritesAndReplacesWithNamesInAnyCase) {
  ScratchApp app;
  EXPECT_EQ(settings::get(app.name, "floyd", "prttw_state"), "");
  settings::put(app.name, "floyd", "prttw_state", "start");
  EXPECT_EQ(settings::get(app.name, "FLOYD", "PRTTW_STATE"), "start");
  settings::put(app.name, "Floyd", "PRTTW_State", "end");
  EXPECT_EQ(settings::get(app.name, "floyd", "prttw_state"), "end");
  EXPECT_EQ(settings::get(app.name, "spiro", "prttw_state"), "");
  EXPECT_EQ(settings::get(app.name, "floyd", "prttw_stat"), "");

  settings::put(app.name, "prtspeed", "com3", "  ");
  EXPECT_EQ(settings::get(app.name, "prtspeed", "com3"), "  ");
  settings::put(app.name, "floyd", "prttw_text", kPortError);
  settings::put(app.name, "floyd", "prttw_text", "");
  EXPECT_EQ(settings::get(app.name, "floyd", "prttw_text"), "");
  // Korean section and key names address too.
  settings::put(app.name, "\xC6\xF7\xC6\xAE", "\xC1\xF6", "1");
  EXPECT_EQ(settings::get(app.name, "\xC6\xF7\xC6\xAE", "\xC1\xF6"), "1");
}

TEST(Settings, ListsEveryKeyOrderedBySectionAndKey) {
  ScratchApp app;
  settings::put(app.name, "spiro", "PortCheckYN", "Y");
  settings::put(app.name, "floyd", "kit_state", "end");
  settings::put(app.name, "floyd", "Kit_error", "syserror");
  settings::put(app.name, "Floyd", "corvana_state", "End");
  settings::put(app.name, "floyd", "kit_text", kPortError);

  std::vector<std::string> seen;
  for (const auto& e : settings::list(app.name)) seen.push_back(e.section + "/" + e.key + "=" + e.value);
  EXPECT_EQ(seen, (std::vector<std::string>{"floyd/corvana_state=End", "floyd/Kit_error=syserror",
                                            "floyd/kit_state=end", "floyd/kit_text=" + kPortError,
                                            "spiro/PortCheckYN=Y"}));
  EXPECT_EQ(settings::list(app.name, "FLOYD").size(), 4u);
  EXPECT_TRUE(settings::list(app.name, "nothing").empty());
  EXPECT_TRUE(settings::list(app.name + "-none").empty());
}

}  // namespace
}  // namespace pink
