// The Windows side of bounded whole-file reads and INI names with line
// breaks: devices and folders are no files, a larger file than the caller
// takes is refused, and a broken name adds no line of its own.
#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include "platform/files.h"
#include "platform/ini.h"
#include "tests/win/platform/win_helpers.h"

namespace pink {
namespace {

using wintest::work_folder;

TEST(BoundedFiles, PlainFilesOnlyAndNoMoreThanTheLimit) {
  PINK_REQUIRE_GIVEN("PINK_TEST_DIR");
  const std::string dir = work_folder();
  const std::string name = dir + "\\ten.bin";
  ASSERT_TRUE(files::write_all(name, std::string(10, 'x')));
  EXPECT_EQ(files::read_all(name, 10).bytes, std::string(10, 'x'));
  const auto over = files::read_all(name, 9);
  EXPECT_EQ(over.status, files::ReadStatus::TooLarge);
  EXPECT_TRUE(over.bytes.empty());
  EXPECT_EQ(files::read_all("NUL", 1u << 20).status, files::ReadStatus::NotAFile);
  // The console is no file either (where there is none, it cannot be opened).
  EXPECT_NE(files::read_all("CON", 1u << 20).status, files::ReadStatus::Ok);
  EXPECT_EQ(files::read_all(dir, 1u << 20).status, files::ReadStatus::NotAFile);
  EXPECT_EQ(files::read_shared("NUL").status, files::SharedReadStatus::Failed);
}

TEST(BoundedFiles, AFailedWriteNamesThePathAndTheSystemsReason) {
  PINK_REQUIRE_GIVEN("PINK_TEST_DIR");
  const std::string name = work_folder() + "\\nowhere\\x.bin";
  const auto failed = files::write_all(name, "x");
  EXPECT_FALSE(failed);
  // ERROR_PATH_NOT_FOUND, with the system's text after it.
  EXPECT_EQ(failed.why().rfind(name + ": error 3", 0), 0u) << failed.why();
}

TEST(BoundedFiles, IniNamesEndAtALineBreak) {
  PINK_REQUIRE_GIVEN("PINK_TEST_DIR");
  const std::string path = work_folder() + "\\names.ini";
  DeleteFileW(wintest::wide(path).c_str());
  ASSERT_TRUE(ini::write(path, "COMM\r\n[SERVER]\r\nIP=10.0.0.66\r\n", "PORT\n[SERVER]\nIP=6.6.6.6", "443"));
  EXPECT_EQ(ini::read(path, "SERVER", "IP", "none"), "none");
  EXPECT_EQ(ini::read(path, "COMM", "PORT", "none"), "443");
  EXPECT_EQ(ini::read(path, "COMM\nx", "PORT\r\nx", "none"), "443");
  const auto text = files::read_all(path, 1u << 20);
  EXPECT_EQ(ini::text::lookup(text.bytes, "SERVER", "IP", "none"), "none");
}

}  // namespace
}  // namespace pink
