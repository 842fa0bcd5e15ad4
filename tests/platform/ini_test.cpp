// INI files: the private-profile rules over file text, and files on disk.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "platform/ini.h"
#include "tools/testkit/testkit.h"

namespace pink::ini {
namespace {

using testkit::TempDir;

TEST(IniText, LookupRules) {
  const std::string file =
      "; payment link\r\n"
      "top=outside any section\r\n"
      "[COMM_PORT]\r\n"
      "PORT=5\r\n"
      "  Speed  =  9600  \r\n"
      "quoted=\"  a b  \"\r\n"
      "single='x'\r\n"
      "half=\"open\r\n"
      "empty=\r\n"
      ";PORT=7\r\n"
      "PORT=6\r\n"
      "[ other ]\n"
      "port=9\n"
      "note=a=b ; not a comment\n"
      "[comm_port]\r\n"
      "late=1";
  EXPECT_EQ(text::lookup(file, "COMM_PORT", "PORT", "0"), "5");
  // Case-insensitive names, blanks around names and values.
  EXPECT_EQ(text::lookup(file, "comm_port", "port", "0"), "5");
  EXPECT_EQ(text::lookup(file, " Comm_Port ", "speed", ""), "9600");
  // Quotes around the whole value are stripped, blanks inside them kept.
  EXPECT_EQ(text::lookup(file, "COMM_PORT", "quoted", ""), "  a b  ");
  EXPECT_EQ(text::lookup(file, "COMM_PORT", "single", ""), "x");
  EXPECT_EQ(text::lookup(file, "COMM_PORT", "half", ""), "\"open");
  // A present empty value is not the fallback.
  EXPECT_EQ(text::lookup(file, "COMM_PORT", "empty", "dflt"), "");
  // Missing key, missing section, keys outside the section, comments.
  EXPECT_EQ(text::lookup(file, "COMM_PORT", "missing", "dflt"), "dflt");
  EXPECT_EQ(text::lookup(file, "nowhere", "PORT", "dflt"), "dflt");
  EXPECT_EQ(text::lookup(file, "COMM_PORT", "top", "dflt"), "dflt");
  EXPECT_EQ(text::lookup(file, "COMM_PORT", ";PORT", "dflt"), "dflt");
  // LF-only lines; everything after the first '=' is the value.
  EXPECT_EQ(text::lookup(file, "OTHER", "PORT", ""), "9");
  EXPECT_EQ(text::lookup(file, "other", "note", ""), "a=b ; not a comment");
  // Only the first of two sections with one name is read.
  EXPECT_EQ(text::lookup(file, "COMM_PORT", "late", "dflt"), "dflt");
  EXPECT_EQ(text::lookup("", "a", "b", "dflt"), "dflt");
}

TEST(IniText, KoreanNamesAndValues) {
  // "포트" as a section, "파일" as a key: the second byte of a double-byte
  // character is never folded as a letter, so "\x8C\x63" and "\x8C\x43"
  // are different names.
  const std::string file = "[\xC6\xF7\xC6\xAE]\r\n\x8C\x63=lower\r\n\xC6\xC4\xC0\xCF=\xB0\xA1\r\n";
  EXPECT_EQ(text::lookup(file, "\xC6\xF7\xC6\xAE", "\xC6\xC4\xC0\xCF", ""), "\xB0\xA1");
  EXPECT_EQ(text::lookup(file, "\xC6\xF7\xC6\xAE", "\x8C\x63", ""), "lower");
  EXPECT_EQ(text::lookup(file, "\xC6\xF7\xC6\xAE", "\x8C\x43", "none"), "none");
}

TEST(IniText, UpdateRules) {
  // A new file gets the section and the key.
  EXPECT_EQ(text::update("", "COMM_PORT", "PORT", "1"), "[COMM_PORT]\r\nPORT=1\r\n");

  const std::string file =
      "; settings\n"
      "[COMM_PORT]\n"
      "Port = 0\n"
      "; keep me\n"
      "\n"
      "[other]\n"
      "a=1";
  // An existing key (any case) has its value replaced; its spelling and
  // every other line stay; line ends become CR LF.
  EXPECT_EQ(text::update(file, "comm_port", "PORT", "1"),
            "; settings\r\n[COMM_PORT]\r\nPort=1\r\n; keep me\r\n\r\n[other]\r\na=1\r\n");
  // A new key goes at the end of its section, before the blank line that
  // separates it from the next one.
  EXPECT_EQ(text::update(file, "COMM_PORT", "Speed", "9600"),
            "; settings\r\n[COMM_PORT]\r\nPort = 0\r\n; keep me\r\nSpeed=9600\r\n\r\n[other]\r\na=1\r\n");
  EXPECT_EQ(text::update(file, "other", "b", "2"),
            "; settings\r\n[COMM_PORT]\r\nPort = 0\r\n; keep me\r\n\r\n[other]\r\na=1\r\nb=2\r\n");
  // A new section goes at the end of the file.
  EXPECT_EQ(text::update(file, "new", "k", "v"),
            "; settings\r\n[COMM_PORT]\r\nPort = 0\r\n; keep me\r\n\r\n[other]\r\na=1\r\n[new]\r\nk=v\r\n");
  // A commented-out key is not the key.
  EXPECT_EQ(text::update("[s]\r\n;k=old\r\n", "s", "k", "new"), "[s]\r\n;k=old\r\nk=new\r\n");
  // An empty section gets the key right under its header.
  EXPECT_EQ(text::update("[s]\r\n[t]\r\n", "s", "k", "v"), "[s]\r\nk=v\r\n[t]\r\n");
  // A value cannot carry a line break into the file (and so no new section).
  EXPECT_EQ(text::update("", "s", "k", "v\r\n[evil]\r\nx=1"), "[s]\r\nk=v\r\n");

  // What update writes, lookup reads back.
  const std::string updated = text::update(file, "Other", "A", "\"quoted\"");
  EXPECT_EQ(text::lookup(updated, "other", "a", ""), "quoted");
}

TEST(IniText, Numbers) {
  const std::pair<const char*, long> numbers[] = {
      {"5", 5},     {"  42abc", 42}, {"-12", -12}, {"+7", 7},   {"007", 7},
      {"abc", -1},  {"", -1},        {"-", -1},    {"- 5", -1}, {"99999999999999999999999", LONG_MAX},
      {"-99999999999999999999999", LONG_MIN}};
  for (const auto& [digits, value] : numbers) EXPECT_EQ(text::to_int(digits, -1), value) << digits;
}

// Reading, creating and keeping a settings file through the payment link's
// start-up is shown in corvanavan's tests; here what only the files show.
TEST(IniFile, ReadWriteOnDisk) {
  TempDir dir;
  const std::string path = dir.file("corvana.ini");
  EXPECT_EQ(read_int(path, "COMM_PORT", "PORT", 17), 17);  // no file yet
  ASSERT_TRUE(write(path, "COMM_PORT", "PORT", "1"));
  EXPECT_EQ(read_int(path, "comm_port", "port", 0), 1);

  // A file whose folder is missing is not written, and the folder not made.
  EXPECT_FALSE(write(dir.file("none/corvana.ini"), "COMM_PORT", "PORT", "1"));
  EXPECT_FALSE(dir.exists("none"));
  EXPECT_EQ(read(dir.file("none/corvana.ini"), "COMM_PORT", "PORT", "d"), "d");

  // A Korean (cp949) file name is the UTF-8 name on disk.
  const std::string korean = dir.path() + "/\xC6\xF7\xC6\xAE.ini";
  ASSERT_TRUE(write(korean, "s", "k", "v"));
  EXPECT_TRUE(dir.exists("\xED\x8F\xAC\xED\x8A\xB8.ini"));
  EXPECT_EQ(read(korean, "s", "k"), "v");
}

}  // namespace
}  // namespace pink::ini
