// INI files through the private-profile functions, checked against the
// rules the Linux build applies itself (ini::text), and plain files by
// cp949 name in the test's folder.
#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include "platform/files.h"
#include "platform/ini.h"
#include "tests/win/platform/win_helpers.h"

namespace pink {
namespace {

constexpr std::uint64_t kAnySize = 1u << 30;

using wintest::work_folder;

TEST(Ini, TheSystemReadsWhatTheLinuxRulesReadFromTheSameFile) {
  PINK_REQUIRE_GIVEN("PINK_TEST_DIR");
  const std::string path = work_folder() + "\\rules.ini";
  const std::string file =
      "; payment link\r\n"
      "top=outside any section\r\n"
      "[COMM_PORT]\r\n"
      "PORT=5\r\n"
      "  Speed  =  9600  \r\n"
      "quoted=\"  a b  \"\r\n"
      "empty=\r\n"
      ";PORT=7\r\n"
      "[ other ]\n"
      "port=9\n"
      "note=a=b ; not a comment\n"
      "[\xC6\xF7\xC6\xAE]\r\n"
      "\xC6\xC4\xC0\xCF=\xB0\xA1\r\n";
  ASSERT_TRUE(files::write_all(path, file));
  const std::pair<const char*, const char*> keys[] = {
      {"COMM_PORT", "PORT"},  {"comm_port", "port"}, {"Comm_Port", "speed"},          {"COMM_PORT", "quoted"},
      {"COMM_PORT", "empty"}, {"COMM_PORT", "none"}, {"nowhere", "PORT"},             {"COMM_PORT", "top"},
      {"OTHER", "PORT"},      {"other", "note"},     {"\xC6\xF7\xC6\xAE", "\xC6\xC4\xC0\xCF"}};
  for (const auto& [section, key] : keys) {
    EXPECT_EQ(ini::read(path, section, key, "dflt"), ini::text::lookup(file, section, key, "dflt"))
        << section << "/" << key;
  }
  EXPECT_EQ(ini::read(path, "\xC6\xF7\xC6\xAE", "\xC6\xC4\xC0\xCF"), "\xB0\xA1");
  EXPECT_EQ(ini::read_int(path, "COMM_PORT", "PORT", 0), 5);
  EXPECT_EQ(ini::read_int(path, "other", "note", -1), -1);  // not a number: the fallback
}

TEST(Ini, WritesCreateFileSectionAndKeyAndKeepValuesOnOneLine) {
  PINK_REQUIRE_GIVEN("PINK_TEST_DIR");
  const std::string path = work_folder() + "\\corvana.ini";
  DeleteFileW(wintest::wide(path).c_str());
  EXPECT_EQ(ini::read_int(path, "COMM_PORT", "PORT", 17), 17);
  ASSERT_TRUE(ini::write(path, "COMM_PORT", "PORT", "1"));
  ASSERT_TRUE(ini::write(path, "comm_port", "port", "2"));
  EXPECT_EQ(ini::read_int(path, "COMM_PORT", "PORT", 0), 2);
  // A line break would start a section of its own.
  ASSERT_TRUE(ini::write(path, "s", "k", "v\r\n[evil]\r\nx=1"));
  EXPECT_EQ(ini::read(path, "s", "k"), "v");
  EXPECT_EQ(ini::read(path, "evil", "x", "none"), "none");
  ASSERT_TRUE(ini::write(path, "\xC6\xF7\xC6\xAE", "\xC6\xC4\xC0\xCF", "\xB0\xA1\xB3\xAA"));
  const auto text = files::read_all(path, kAnySize);
  ASSERT_EQ(text.status, files::ReadStatus::Ok);
  // The file the system wrote reads the same by the Linux rules.
  EXPECT_EQ(ini::text::lookup(text.bytes, "comm_port", "PORT", ""), "2");
  EXPECT_EQ(ini::text::lookup(text.bytes, "\xC6\xF7\xC6\xAE", "\xC6\xC4\xC0\xCF", ""), "\xB0\xA1\xB3\xAA");
  // A missing folder is not made.
  EXPECT_FALSE(ini::write(work_folder() + "\\none\\x.ini", "s", "k", "v"));
  EXPECT_FALSE(files::exists(work_folder() + "\\none"));
}

TEST(Files, AppendReadAndLookUpByCp949Name) {
  PINK_REQUIRE_GIVEN("PINK_TEST_DIR");
  const std::string dir = work_folder();
  EXPECT_EQ(files::append(dir + "\\zorlog\\ZorVB.log", "x"), files::AppendStatus::PathNotFound);
  EXPECT_FALSE(files::exists(dir + "\\zorlog"));
  ASSERT_TRUE(files::make_folder(dir + "\\zorlog"));
  EXPECT_TRUE(files::make_folder(dir + "\\zorlog"));
  EXPECT_FALSE(files::make_folder(dir + "\\a\\b"));
  EXPECT_EQ(files::append(dir + "\\zorlog\\ZorVB.log", "one\r\n"), files::AppendStatus::Ok);
  EXPECT_EQ(files::append(dir + "\\zorlog\\ZorVB.log", "two\r\n"), files::AppendStatus::Ok);
  EXPECT_EQ(files::read_all(dir + "\\zorlog\\ZorVB.log", kAnySize).bytes, "one\r\ntwo\r\n");

  const std::string korean = dir + "\\\xBC\xAD\xB8\xED.bmp";  // "서명.bmp"
  ASSERT_TRUE(files::write_all(korean, std::string("BM\0\xff", 4)));
  EXPECT_EQ(files::read_all(korean, kAnySize).bytes, std::string("BM\0\xff", 4));
  EXPECT_EQ(files::lookup_name(korean), "\xBC\xAD\xB8\xED.bmp");
  EXPECT_EQ(files::lookup_name(dir + "\\zorsign.bmp"), std::nullopt);
  EXPECT_EQ(files::read_all(dir + "\\absent.zor", kAnySize).status, files::ReadStatus::NotFound);
  EXPECT_EQ(files::read_all(dir + "\\nowhere\\absent.zor", kAnySize).status, files::ReadStatus::PathNotFound);
  EXPECT_EQ(files::native_path(".\\zorlog\\ZorVB.log"), ".\\zorlog\\ZorVB.log");
  EXPECT_EQ(files::fixed_file("sign.bmp"), "c:\\sign.bmp");
}

TEST(Files, ASharedReadOfAFileHeldExclusivelyIsBusyNotFailed) {
  PINK_REQUIRE_GIVEN("PINK_TEST_DIR");
  const std::string path = work_folder() + "\\photo.jpg";
  ASSERT_TRUE(files::write_all(path, "JPEG"));
  HANDLE held = CreateFileW(wintest::wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(files::read_shared(path).status, files::SharedReadStatus::Busy);
  CloseHandle(held);
  const auto r = files::read_shared(path);
  EXPECT_EQ(r.status, files::SharedReadStatus::Ok);
  EXPECT_EQ(r.bytes, "JPEG");
  EXPECT_EQ(files::read_shared(work_folder() + "\\missing.jpg").status, files::SharedReadStatus::Failed);
}

}  // namespace
}  // namespace pink
