// The one-job programs of the Windows build under Wine, byte for byte
// against the Linux build: the same job files and mailbox keys give the same
// bytes on the serial and parallel ports, the same mailbox afterwards, the
// same mailbox writes in the same order, the same log and exit status.
#include <gtest/gtest.h>

#include "tests/rcptlib/bmp_writer.h"
#include "tests/wintest/job_compare.h"

namespace pink {
namespace {

using wintest::Job;
using wintest::Outcome;

// Both builds alike, and the job printed: two runs that failed alike to
// reach their port would compare equal too.
::testing::AssertionResult printed_alike(const Job& job) {
  Outcome windows_side;
  auto same = wintest::same_on_both(job, nullptr, &windows_side);
  if (!same) return same;
  if (windows_side.serial.empty() && windows_side.parallel.empty()) {
    return ::testing::AssertionFailure() << job.program << " printed nothing\n"
                                         << wintest::describe(windows_side.mailbox);
  }
  return ::testing::AssertionSuccess();
}

// A 128 x 64 signature as the pads save it.
std::string signature_bmp() {
  rcptlib::testing::Picture p(128, 64, 1);
  p.palette = {rcptlib::testing::Rgb{255, 255, 255}, rcptlib::testing::Rgb{0, 0, 0}};
  for (int x = 6; x < 122; ++x) {
    p.at(x, 32 + (x % 9) - 4) = 1;
    p.at(x, 20 + (x % 5)) = x % 3 == 0;
  }
  const auto bytes = rcptlib::testing::encode(p);
  return std::string(bytes.begin(), bytes.end());
}

// A receipt on the library path with the signature in the middle: the
// bit image goes out one byte per write, and every byte arrives.
TEST(WindowsPrinter, ReceiptWithASignatureThroughTheLibrary) {
  PINK_REQUIRE_WINE();
  Job job{.program = "printer", .job_file = "printer.zor", .com = 31};
  job.lines = {"31XCXN", "영수증 SHOP", "SIGNPRT", "THANK YOU"};
  job.mailbox = {{"prtspeed", "com31", "19200,n,8,1"}};
  job.sign_bmp = signature_bmp();
  Outcome linux_side, windows_side;
  EXPECT_TRUE(wintest::same_on_both(job, &linux_side, &windows_side));
  EXPECT_GT(windows_side.serial.size(), 1056u);
  EXPECT_EQ(windows_side.exit_code, 0);
}

TEST(WindowsPrinter, SerialPathDialectsKoreanModeAndEditedLines) {
  PINK_REQUIRE_WINE();
  for (const auto& lines : std::vector<std::vector<std::string>>{
           {"32XBXN", "LOGOPRT", "HELLO", "", "SIGNPRT", "#NULL#"},
           {"32XAX1", "BARPRT", "8801234567890", "LOGOPRT", "A#NULL#"},
           {"32X5XN", "A가나다", "", "LOGOPRT"},
           {"32X8XN", "EDITED", "LOGOPRT"}}) {
    Job job{.program = "printer", .job_file = "printer.zor", .lines = lines, .com = 32};
    EXPECT_TRUE(printed_alike(job)) << lines[0];
  }
}

// The parallel port is a file here: the program's many writes all land,
// one after the other.
TEST(WindowsPrinter, ParallelPathWithALogoFileAndABarcode) {
  PINK_REQUIRE_WINE();
  std::string logo(62, 'h');
  for (int row = 0; row < 166; ++row) logo += std::string(56, static_cast<char>(row));
  Job job{.program = "printer", .job_file = "printer.zor", .lines = {"PX4X1", "BARPRT", "Ab1", "LOGOPRT", "끝"}};
  job.files = {{"pv_logo.bmp", logo}};
  Outcome linux_side, windows_side;
  EXPECT_TRUE(wintest::same_on_both(job, &linux_side, &windows_side));
  EXPECT_GT(windows_side.parallel.size(), 166u * 76u);
}

TEST(WindowsPrinter, FailuresAndThePortBusyWait) {
  PINK_REQUIRE_WINE();
  // No job file; a barcode on the last line; a flag that never clears.
  EXPECT_TRUE(wintest::same_on_both({.program = "printer", .com = 33}));
  EXPECT_TRUE(wintest::same_on_both(
      {.program = "printer", .job_file = "printer.zor", .lines = {"33X0XN", "BEFORE", "BARPRT"}, .com = 33}));
  Outcome windows_side;
  EXPECT_TRUE(wintest::same_on_both({.program = "printer",
                                     .job_file = "printer.zor",
                                     .lines = {"33X0XN", "AFTER WAIT"},
                                     .mailbox = {{"spiro", "PortCheckYN", "Y"}, {"spiro", "33", "Y"}},
                                     .com = 33},
                                    nullptr, &windows_side));
  EXPECT_NE(windows_side.log.find("Port-##"), std::string::npos) << windows_side.log;
}

TEST(WindowsEnter, SerialAndParallelJobs) {
  PINK_REQUIRE_WINE();
  for (const auto& lines : std::vector<std::vector<std::string>>{
           {"34XBX1", "LOGOPRT", "첫 줄", "", "LAST"}, {"34X7X5", "A#NULL#B", "LOGOPRT"}, {"PXBX5", "LOGOPRT", "TEXT"}}) {
    Job job{.program = "enter", .job_file = "enter.zor", .lines = lines, .com = 34};
    EXPECT_TRUE(printed_alike(job)) << lines[0];
  }
  EXPECT_TRUE(wintest::same_on_both({.program = "enter"}));  // no job: ends silently
}

TEST(WindowsKitchen, OrdersWithEndSignalsOnBothBuilds) {
  PINK_REQUIRE_WINE();
  for (const std::string program : {"kitchen", "kitchenb"}) {
    const std::string file = program + ".zor";
    for (const auto& lines : std::vector<std::vector<std::string>>{
             {"35T0XX", "주문 1", "COLA  2", ""}, {"35 1DX", "D MODEL"}, {"35 25X", "한글 모드", "ABC"},
             {"P 3BX", "PARALLEL", "#NULL#"}, {"35T7XX", "A#NULL#"}}) {
      Job job{.program = program, .job_file = file, .lines = lines, .com = 35};
      job.mailbox = {{"prtspeed", "com35", "4800,n,8,1"}};
      EXPECT_TRUE(printed_alike(job)) << program << " " << lines[0];
    }
    EXPECT_TRUE(wintest::same_on_both({.program = program, .com = 35})) << program;  // no job file
  }
}

TEST(WindowsPds, DisplayDialectsWithKoreanText) {
  PINK_REQUIRE_WINE();
  for (const std::string type : {"1", "4", "7", "9", "G", "H", "L", "l"}) {
    Job job{.program = "pds", .com = 36};
    job.mailbox = {{"floyd", "pds_hw", type},
                   {"floyd", "pds_port", "36"},
                   {"floyd", "pds_1", "합계"},
                   {"floyd", "pds_2", "둘째 줄"},
                   {"floyd", "pds_3", "12,000"}};
    // "l" is no type: nothing is sent on either build.
    EXPECT_TRUE(type == "l" ? wintest::same_on_both(job) : printed_alike(job)) << type;
  }
  // An empty port: the run-time's type mismatch in "pds_error".
  Outcome windows_side;
  EXPECT_TRUE(wintest::same_on_both({.program = "pds", .mailbox = {{"floyd", "pds_hw", "4"}}}, nullptr,
                                    &windows_side));
  EXPECT_NE(wintest::describe(windows_side.mailbox).find("pds_error = \"Type mismatch\""), std::string::npos)
      << wintest::describe(windows_side.mailbox);
}

}  // namespace
}  // namespace pink
