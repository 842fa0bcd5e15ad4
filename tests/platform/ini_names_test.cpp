// Section and key names with a line break in them: the name ends at the
// break, as a value does, so no write can add lines or sections of its own.
#include <gtest/gtest.h>

#include <string>

#include "platform/ini.h"
#include "tools/testkit/testkit.h"

namespace pink::ini {
namespace {

TEST(IniNames, ALineBreakInANameNeverAddsLinesOrSections) {
  const std::string base = "[COMM_PORT]\r\nPORT=5\r\n";
  // The key is cut at its break: only PORT is written.
  EXPECT_EQ(text::update(base, "COMM_PORT", "PORT\r\n[EVIL]\r\nX", "7"), "[COMM_PORT]\r\nPORT=7\r\n");
  EXPECT_EQ(text::update(base, "COMM_PORT", "SPEED\nIP", "9600"), "[COMM_PORT]\r\nPORT=5\r\nSPEED=9600\r\n");
  // The section is cut at its break: the existing section takes the key.
  EXPECT_EQ(text::update(base, "COMM_PORT\r\nPORT=1\r\n[X", "PORT", "6"), "[COMM_PORT]\r\nPORT=6\r\n");
  EXPECT_EQ(text::update("", "NEW\rSECTION", "KEY", "v"), "[NEW]\r\nKEY=v\r\n");
  // A name that is nothing but its break is an empty name, not a new line.
  EXPECT_EQ(text::update("", "S", "\r\nK", "v"), "[S]\r\n=v\r\n");
  // A lookup cuts the same way, so it finds what such a write wrote.
  EXPECT_EQ(text::lookup(base, "COMM_PORT\n[x]", "PORT\r\nPORT=9", "none"), "5");
  EXPECT_EQ(text::first_line("a\rb\nc"), "a");
  EXPECT_EQ(text::first_line("plain"), "plain");
}

TEST(IniNames, OnDiskAWriteWithBrokenNamesLeavesOneSectionAndOneKey) {
  testkit::TempDir dir;
  const std::string path = dir.file("corvana.ini");
  ASSERT_TRUE(write(path, "COMM\r\n[SERVER]\r\nIP=10.0.0.66\r\n", "PORT\n[SERVER]\nIP=6.6.6.6", "443"));
  EXPECT_EQ(dir.read("corvana.ini"), "[COMM]\r\nPORT=443\r\n");
  EXPECT_EQ(read(path, "SERVER", "IP", "none"), "none");
  EXPECT_EQ(read(path, "COMM\r\nx", "PORT\nx", "none"), "443");
  EXPECT_EQ(read_int(path, "COMM", "PORT", 0), 443);
}

}  // namespace
}  // namespace pink::ini
