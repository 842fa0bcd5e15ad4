// Plain files by cp949 name, the mapping of the suite's Windows-style paths,
// and environment values.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <string>

#include "platform/env.h"
#include "platform/text.h"
#include "tools/testkit/testkit.h"

namespace pink {
namespace {

constexpr std::uint64_t kAnySize = 1u << 30;

namespace tk = pink::testkit;

TEST(PlainFiles, WindowsStylePathsMapOntoThisMachine) {
  const std::string korean = text::utf8_to_cp949("영수증");
  const std::pair<std::string, std::string> paths[] = {
      {".\\zorlog\\ZorVB.log", "zorlog/ZorVB.log"}, {"printer.zor", "printer.zor"},
      {"/var/pos/kitchen.zor", "/var/pos/kitchen.zor"}, {"..\\up", "../up"},
      {".\\" + korean + "\\a.txt", korean + "/a.txt"}};
  for (const auto& [windows, native] : paths) EXPECT_EQ(files::native_path(windows), native);
}

TEST(PlainFiles, AppendCreatesTheFileButNeverItsFolder) {
  tk::TempDir dir;
  EXPECT_EQ(files::append(dir.file("zorlog/ZorVB.log"), "line\r\n"), files::AppendStatus::PathNotFound);
  EXPECT_FALSE(dir.exists("zorlog"));

  dir.mkdir("zorlog");
  EXPECT_EQ(files::append(dir.file("zorlog/ZorVB.log"), "one\r\n"), files::AppendStatus::Ok);
  EXPECT_EQ(files::append(dir.file("zorlog\\ZorVB.log"), "two\r\n"), files::AppendStatus::Ok);
  EXPECT_EQ(dir.read("zorlog/ZorVB.log"), "one\r\ntwo\r\n");
  // A folder where the file should be cannot be appended to.
  EXPECT_NE(files::append(dir.path(), "x"), files::AppendStatus::Ok);
}

TEST(PlainFiles, ReadTellsAMissingFileFromAMissingFolder) {
  tk::TempDir dir;
  dir.write("job.zor", std::string("1,X,C\r\n\0\xff", 9));
  const auto ok = files::read_all(dir.file("job.zor"), kAnySize);
  EXPECT_EQ(ok.status, files::ReadStatus::Ok);
  EXPECT_EQ(ok.bytes, std::string("1,X,C\r\n\0\xff", 9));
  EXPECT_EQ(files::read_all(dir.file("absent.zor"), kAnySize).status, files::ReadStatus::NotFound);
  EXPECT_EQ(files::read_all(dir.file("nowhere/absent.zor"), kAnySize).status, files::ReadStatus::PathNotFound);
  EXPECT_EQ(files::read_all(dir.path(), kAnySize).status, files::ReadStatus::NotAFile);
}

TEST(PlainFiles, WriteAllReplacesAndNamesAreCp949) {
  tk::TempDir dir;
  const std::string name = dir.file(text::utf8_to_cp949("서명.bmp"));
  EXPECT_TRUE(files::write_all(name, "first version"));
  EXPECT_TRUE(files::write_all(name, "second"));
  // On disk the name is UTF-8.
  EXPECT_EQ(dir.read("서명.bmp"), "second");
  EXPECT_TRUE(files::exists(name));
  EXPECT_FALSE(files::exists(dir.file("absent")));
  // A failed write says where and why, in the system's words.
  const auto no_folder = files::write_all(dir.file("nowhere/x"), "x");
  EXPECT_FALSE(no_folder);
  EXPECT_EQ(no_folder.why(), dir.file("nowhere/x") + ": No such file or directory");
}

TEST(PlainFiles, WriteAllReportsAFullDeviceNotSuccess) {
  // The open succeeds and every write fails, as on a full file system.
  const auto full = files::write_all("/dev/full", "x");
  EXPECT_FALSE(full);
  EXPECT_EQ(full.why(), "/dev/full: No space left on device");
}

TEST(PlainFiles, LookupYieldsTheNameOfAnExistingFileOnly) {
  tk::TempDir dir;
  dir.write("sign.bmp", "BM");
  dir.mkdir("folder.bmp");
  EXPECT_EQ(files::lookup_name(dir.file("sign.bmp")), "sign.bmp");
  EXPECT_EQ(files::lookup_name(dir.file("zorsign.bmp")), std::nullopt);
  EXPECT_EQ(files::lookup_name(dir.file("folder.bmp")), std::nullopt);
  EXPECT_EQ(files::lookup_name(dir.file("nowhere/sign.bmp")), std::nullopt);
  const std::string korean = text::utf8_to_cp949("서명.bmp");
  dir.write("서명.bmp", "BM");
  EXPECT_EQ(files::lookup_name(dir.file(korean)), korean);
}

TEST(PlainFiles, SharedReadingAndFixedFolders) {
  tk::TempDir dir;
  const std::string name = text::utf8_to_cp949(dir.path() + "/사진.jpg");
  ASSERT_TRUE(files::write_all(name, std::string("\x00\x01", 2)));
  const files::SharedRead r = files::read_shared(name);
  EXPECT_EQ(r.status, files::SharedReadStatus::Ok);
  EXPECT_EQ(r.bytes, std::string("\x00\x01", 2));
  EXPECT_EQ(files::read_shared(dir.path() + "/missing.jpg").status, files::SharedReadStatus::Failed);
  EXPECT_EQ(files::read_shared(dir.path()).status, files::SharedReadStatus::Failed);  // a folder

  // Linux takes the folder from the variable (a UTF-8 name, handed on as cp949), else the default.
  tk::ScopedEnv folder("PINK_TEST_FOLDER", "/srv/로그");
  EXPECT_EQ(files::fixed_folder("C:\\TEMP", "PINK_TEST_FOLDER", "/tmp"), text::utf8_to_cp949("/srv/로그"));
  tk::ScopedEnv unset("PINK_TEST_FOLDER", std::nullopt);
  EXPECT_EQ(files::fixed_folder("C:\\TEMP", "PINK_TEST_FOLDER", "/tmp"), "/tmp");
}

TEST(PlainFiles, MakeFolderMakesOneLevelAndAcceptsAnExistingFolderOnly) {
  tk::TempDir dir;
  const std::string korean = text::utf8_to_cp949(dir.path() + "/서명");
  EXPECT_TRUE(files::make_folder(korean));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() + "/서명"));
  EXPECT_TRUE(files::make_folder(korean));  // there already
  EXPECT_FALSE(files::make_folder(dir.path() + "/a/b"));  // no parents are made
  dir.write("plain", "x");
  EXPECT_FALSE(files::make_folder(dir.path() + "/plain"));  // a file is no folder
}

TEST(Environment, UnsetAndEmptyAreBothNothing) {
  tk::ScopedEnv set("PINK_TEST_VALUE", "/dev/ttyS0");
  EXPECT_EQ(env::get("PINK_TEST_VALUE"), "/dev/ttyS0");
  for (const auto& nothing : {std::optional<std::string>(""), std::optional<std::string>()}) {
    tk::ScopedEnv unset("PINK_TEST_VALUE", nothing);
    EXPECT_EQ(env::get("PINK_TEST_VALUE"), std::nullopt);
  }
}

}  // namespace
}  // namespace pink
