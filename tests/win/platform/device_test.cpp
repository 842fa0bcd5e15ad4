// Device files on Windows: a printer port that stands for a file on disk
// (appended to, never overwritten), a printer port on a line (bytes as they
// are, one holder at a time), and the failure numbers.
//
// The running test maps LPT7 to a file (PINK_TEST_LPT_FILE names it) and
// LPT8 to a line whose other end it reads.
#include "platform/device.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "tests/win/platform/win_helpers.h"

namespace pink {
namespace {

constexpr std::uint64_t kAnySize = 1u << 30;

TEST(Device, APrinterPortOnAFileTakesEveryWriteAtItsEnd) {
  PINK_REQUIRE_GIVEN("PINK_TEST_LPT_FILE");
  const std::string file = wintest::given("PINK_TEST_LPT_FILE");
  auto text = device::open("Lpt7:");
  ASSERT_TRUE(text.file) << text.text;
  EXPECT_EQ(text.file->path(), "LPT7");
  EXPECT_EQ(text.file->write(std::string_view("FIRST LINE\r\n")), 12);
  EXPECT_EQ(text.file->write(std::string_view("2\r\n"), 500), 3);
  text.file.reset();
  EXPECT_EQ(files::read_all(file, kAnySize).bytes, "FIRST LINE\r\n2\r\n");

  // A later open appends rather than starting over.
  auto again = device::open("LPT7", device::Access::ReadWrite);
  ASSERT_TRUE(again.file) << again.text;
  EXPECT_EQ(again.file->write(std::string_view("\x1B@\x00!", 4)), 4);
  again.file.reset();
  EXPECT_EQ(files::read_all(file, kAnySize).bytes, std::string("FIRST LINE\r\n2\r\n\x1B@\x00!", 19));
}

// (A second open of a held port is refused by the Windows port driver;
// Wine keeps no such rule for character devices.)
TEST(Device, APrinterPortOnALinePassesBytesAsTheyAre) {
  auto port = device::open("LPT8:");
  ASSERT_TRUE(port.file) << port.text;
  const std::string bytes("\x1B\x40PRINTER\x00\xFF\r\n", 13);
  EXPECT_EQ(port.file->write(bytes, 2000), 13);
  port.file.reset();
  auto again = device::open("LPT8");
  ASSERT_TRUE(again.file) << again.text;
  EXPECT_EQ(again.file->write(std::string_view("+"), 2000), 1);
}

TEST(Device, FailuresCarryTheRunTimeNumbers) {
  PINK_REQUIRE_GIVEN("PINK_TEST_DIR");
  const std::string dir = wintest::work_folder();
  EXPECT_EQ(device::open(dir + "\\no-folder\\printer").error, 76);
  EXPECT_EQ(device::open(dir + "\\absent", device::Access::ReadWrite).error, 53);
  EXPECT_FALSE(files::exists(dir + "\\absent"));
  EXPECT_EQ(device::open("").error, 52);
  // A plain path is created and appended to.
  auto plain = device::open(dir + "\\capture.prn");
  ASSERT_TRUE(plain.file) << plain.text;
  EXPECT_EQ(plain.file->write(std::string_view("one,")), 4);
  plain.file.reset();
  plain = device::open(dir + "\\capture.prn");
  ASSERT_TRUE(plain.file);
  EXPECT_EQ(plain.file->write(std::string_view("two")), 3);
  plain.file.reset();
  EXPECT_EQ(files::read_all(dir + "\\capture.prn", kAnySize).bytes, "one,two");
  EXPECT_EQ(device::resolve("lpt3:"), "LPT3");
  EXPECT_EQ(device::resolve("C:\\x.prn"), "C:\\x.prn");
}

}  // namespace
}  // namespace pink
