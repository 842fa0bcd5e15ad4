// The platform layer's Windows side under Wine, part one: the settings
// store on the registry, INI files, plain files and the text codec, each
// run as a suite of the Windows test program in a folder of its own.
#include <gtest/gtest.h>

#include "tests/wintest/wine_fixture.h"

namespace pink {
namespace {

using testkit::Wine;

std::map<std::string, std::string> folder_env(const testkit::TempDir& dir) {
  return {{"PINK_TEST_DIR", Wine::windows_path(dir.path())}};
}

TEST(WindowsPlatform, SettingsStoreOnTheRegistryWithKoreanValues) {
  PINK_REQUIRE_WINE();
  EXPECT_TRUE(wintest::run_windows_suite("Settings.*"));
}

TEST(WindowsPlatform, IniFilesReadAsTheLinuxRulesRead) {
  PINK_REQUIRE_WINE();
  testkit::TempDir dir;
  EXPECT_TRUE(wintest::run_windows_suite("Ini.*", folder_env(dir)));
  // What the system wrote is an ordinary file here.
  EXPECT_NE(dir.read("corvana.ini").find("[COMM_PORT]"), std::string::npos);
}

TEST(WindowsPlatform, PlainFilesByCp949Name) {
  PINK_REQUIRE_WINE();
  testkit::TempDir dir;
  EXPECT_TRUE(wintest::run_windows_suite("Files.*", folder_env(dir)));
  // "서명.bmp" written by its cp949 name is the UTF-8 name on this machine.
  EXPECT_TRUE(dir.exists("서명.bmp"));
  EXPECT_EQ(dir.read("zorlog/ZorVB.log"), "one\r\ntwo\r\n");
}

TEST(WindowsPlatform, TextCodecOnTheSystemCodePage) {
  PINK_REQUIRE_WINE();
  EXPECT_TRUE(wintest::run_windows_suite("Text.*"));
}

TEST(WindowsPlatform, SocketsOverLoopback) {
  PINK_REQUIRE_WINE();
  EXPECT_TRUE(wintest::run_windows_suite("Socket.*:Ipv4Address.*"));
}

TEST(WindowsPlatform, EventLoopTimersStopRequestsAndSingleInstance) {
  PINK_REQUIRE_WINE();
  EXPECT_TRUE(wintest::run_windows_suite("EventLoop.*:SingleInstance.*"));
}

}  // namespace
}  // namespace pink
