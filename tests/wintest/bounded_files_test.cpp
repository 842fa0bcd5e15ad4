// The Windows side of bounded whole-file reads and of INI names with line
// breaks, under Wine: the BoundedFiles suite of the Windows test program in
// a folder of its own.
#include <gtest/gtest.h>

#include "tests/wintest/wine_fixture.h"

namespace pink {
namespace {

TEST(WindowsPlatform, BoundedReadsAndIniNamesWithLineBreaks) {
  PINK_REQUIRE_WINE();
  testkit::TempDir dir;
  EXPECT_TRUE(wintest::run_windows_suite("BoundedFiles.*", {{"PINK_TEST_DIR", testkit::Wine::windows_path(dir.path())}}));
  // The broken names made one section with one key, nothing more.
  EXPECT_EQ(dir.read("names.ini"), "[COMM]\r\nPORT=443\r\n");
}

}  // namespace
}  // namespace pink
