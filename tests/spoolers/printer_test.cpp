// The receipt spooler `printer` run as a process: exact bytes on a virtual COM
// port, on the parallel port's capture file and through the receipt library,
// and the mailbox keys it leaves.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/serial.h"
#include "rcptlib/bitimage.h"
#include "tests/rcptlib/bmp_writer.h"
#include "tests/spoolers/spooler_fixture.h"
#include "tools/testkit/vport.h"

namespace pink {
namespace {

using testing::SpoolerRun;
using namespace std::string_literals;

std::vector<std::uint8_t> signature_bmp() {
  rcptlib::testing::Picture p(128, 64, 1);
  p.palette = {rcptlib::testing::Rgb{255, 255, 255}, rcptlib::testing::Rgb{0, 0, 0}};
  for (int x = 10; x < 118; ++x) p.at(x, 32 + (x % 7) - 3) = 1;
  return rcptlib::testing::encode(p);
}

std::string bitimage(const std::vector<std::uint8_t>& file) {
  rcptlib::BitImage img;
  EXPECT_EQ(rcptlib::convert(file, 1, 0, img), rcptlib::ConvertError::None);
  std::string s(img.header.begin(), img.header.end());
  s.append(img.raster.begin(), img.raster.end());
  s.append(img.print_command.begin(), img.print_command.end());
  s.append(img.justification.begin(), img.justification.end());
  return s;
}

void expect_success(SpoolerRun& r, const std::string& port_field) {
  EXPECT_EQ(r.get("floyd", "prttw_state"), "start");
  EXPECT_EQ(r.get("floyd", "prttw_error"), "");
  EXPECT_EQ(r.get("floyd", "prttw_text"), "");
  EXPECT_EQ(r.get("spiro", port_field), "N");
}

void expect_failure(SpoolerRun& r, const std::string& text) {
  EXPECT_EQ(r.get("floyd", "prttw_state"), "end");
  EXPECT_EQ(r.get("floyd", "prttw_error"), "syserror");
  EXPECT_EQ(r.get("floyd", "prttw_text"), text);
}

TEST(PrinterLibraryPath, ReceiptWithSignatureInTheMiddle) {
  SpoolerRun r;
  testkit::VirtualPort port(1);
  const auto sign = signature_bmp();
  r.signs.write("sign.bmp", std::string(sign.begin(), sign.end()));
  r.job("printer.zor", {"1XCXN", "SHOP", "SIGNPRT", "THANK YOU"});
  auto res = r.run("printer");
  EXPECT_EQ(res.exit_code, 0) << res.err;
  EXPECT_EQ(port.line().baud, 9600u);  // "prtspeed"/"com1" absent
  const std::string expected = "SHOP\r\n\x1B\x61\x31"s + bitimage(sign) + "THANK YOU\r\n";
  EXPECT_EQ(port.read_exact(expected.size(), 5000), expected);
  expect_success(r, "1");
}

TEST(PrinterLibraryPath, MissingSignFileFallsBackToTheOtherName) {
  SpoolerRun r;
  testkit::VirtualPort port(2);
  const auto sign = signature_bmp();
  r.signs.write("zorsign.bmp", std::string(sign.begin(), sign.end()));
  r.set("prtspeed", "com2", "19200,n,8,1");
  r.job("printer.zor", {"2XCXN", "SIGNPRT"});
  auto res = r.run("printer");
  EXPECT_EQ(res.exit_code, 0) << res.err;
  EXPECT_EQ(port.line().baud, 19200u);
  const std::string expected = "\x1B\x61\x31"s + bitimage(sign);
  EXPECT_EQ(port.read_exact(expected.size(), 5000), expected);
}

TEST(PrinterLibraryPath, BarcodeZeroAndTheTextAfterItArriveIntact) {
  SpoolerRun r;
  testkit::VirtualPort port(3);
  r.set("prtspeed", "com3", "19200,N,8,1");  // capital N: the rate falls back to 9600
  r.job("printer.zor", {"3XCXN", "LOGOPRT", "BARPRT", "12345", "", "AFTER", "BARPRT2"});
  auto res = r.run("printer");
  EXPECT_EQ(res.exit_code, 0) << res.err;
  EXPECT_EQ(port.line().baud, 9600u);
  const std::string expected =
      "\x1D\x66\x01\x1D\x68\x30\x1D\x77\x02\x1B\x61\x31\x1D\x6B\x04" "12345"s + '\0' +
      "12345\r\nAFTER\r\nBARPRT2\r\n";
  EXPECT_EQ(port.read_exact(expected.size(), 5000), expected);
  EXPECT_EQ(port.read_available(200), "");
}

TEST(PrinterLibraryPath, HeaderOnlyJobOpensAndClosesThePort) {
  SpoolerRun r;
  testkit::VirtualPort port(4);
  r.job("printer.zor", {"4XCXN"});
  auto res = r.run("printer");
  EXPECT_EQ(res.exit_code, 0) << res.err;
  EXPECT_EQ(port.line().baud, 9600u);  // the port was opened
  EXPECT_EQ(port.read_available(200), "");
  expect_success(r, "4");
}

TEST(PrinterLibraryPath, LongReceiptReachesThePrinterWhole) {
  SpoolerRun r;
  testkit::VirtualPort port(5);
  r.set("prtspeed", "com5", "115200,n,8,1");
  std::vector<std::string> lines{"5XCXN"};
  std::string expected;
  for (int i = 0; i < 400; ++i) {
    lines.push_back("ITEM " + std::to_string(i) + std::string(30, '.') + "1,000");
    expected += lines.back() + "\r\n";
  }
  r.job("printer.zor", lines);
  auto res = r.run("printer");
  EXPECT_EQ(res.exit_code, 0) << res.err;
  EXPECT_GT(expected.size(), 4096u);
  EXPECT_EQ(port.read_exact(expected.size(), 20000), expected);
}

TEST(PrinterLibraryPath, RefusedPortFailsWithAnEmptyText) {
  SpoolerRun r;
  testkit::ScopedEnv missing("PINK_COM6", "/nonexistent/tty6");
  r.job("printer.zor", {"6XCXN", "TEXT"});
  auto res = r.run("printer");
  EXPECT_EQ(res.exit_code, 1);
  expect_failure(r, "");
  EXPECT_EQ(r.get("spiro", "6"), "N");
}

TEST(PrinterSerialPath, ModelBLogoAndPlainLines) {
  SpoolerRun r;
  testkit::VirtualPort port(7);
  r.job("printer.zor", {"7XBXN", "LOGOPRT", "HELLO", "", "SIGNPRT", "#NULL#"});
  auto res = r.run("printer");
  EXPECT_EQ(res.exit_code, 0) << res.err;
  EXPECT_EQ(port.line().baud, 9600u);
  EXPECT_EQ(port.read_available(1000), "\x1F\x30\x03\x1D\x2F\x00HELLO\r\n#NULL#\r\n"s);
  expect_success(r, "7");
}

TEST(PrinterSerialPath, ModelDForces38400AndModel4DropsTheBarcode) {
  SpoolerRun r;
  testkit::VirtualPort port(8);
  r.set("prtspeed", "com8", "9600,n,8,1");
  r.job("printer.zor", {"8XDXN", "X"});
  EXPECT_EQ(r.run("printer").exit_code, 0);
  EXPECT_EQ(port.line().baud, 38400u);
  EXPECT_EQ(port.read_available(1000), "X\r\n");

  r.job("printer.zor", {"8X4XN", "BARPRT", "12345", "LOGOPRT", "BARPRT2", "999", "Y"});
  EXPECT_EQ(r.run("printer").exit_code, 0);
  EXPECT_EQ(port.line().baud, 9600u);
  EXPECT_EQ(port.read_available(1000), "Y\r\n");
}

TEST(PrinterSerialPath, NullTokenLineEndsAndTheOtherBarcodeDialects) {
  SpoolerRun r;
  testkit::VirtualPort port(9);
  r.job("printer.zor", {"9X7XN", "AB#NULL#CD", "LOGOPRT"});
  EXPECT_EQ(r.run("printer").exit_code, 0);
  EXPECT_EQ(port.read_available(1000), "AB\0CD\n\x1D\x2F\x00\x01"s);

  r.job("printer.zor", {"9XAX1", "BARPRT", "8801234567890", "LOGOPRT", "A#NULL#"});
  EXPECT_EQ(r.run("printer").exit_code, 0);
  EXPECT_EQ(port.read_available(1000),
            "\x1B\x61\x01\x1D\x77\x02\x1D\x68\x32\x1D\x6B\x73\x0E" "8801234567890  \r\n"
            "\x1C\x70\x01\x00" "A\0\r\n"s);

  r.job("printer.zor", {"9X0X6", "BARPRT2", "978020137962", "LOGOPRT"});
  EXPECT_EQ(r.run("printer").exit_code, 0);
  EXPECT_EQ(port.read_available(1000),
            "\x1D\x66\x01\x1D\x68\x30\x1D\x77\x02\x1B\x61\x31\x1D\x6B\x02" "978020137962\0"
            "978020137962\r\n\x1B\x61\x31\x1C\x70\x02\x00"s);
}

TEST(PrinterSerialPath, KoreanDoubleByteModeAndEditedLines) {
  SpoolerRun r;
  testkit::VirtualPort port(10);
  r.job("printer.zor", {"10X5XN", text::utf8_to_cp949("A가"), "", "LOGOPRT"});
  EXPECT_EQ(r.run("printer").exit_code, 0);
  EXPECT_EQ(port.read_available(1000), "A\x1C&\x30\x21\x1C.\r\nLOGOPRT\r\n"s);

  // Model "8" hands text lines to the text edit library; the stand-in gives
  // them back unchanged with their CR LF, and nothing else is added.
  r.job("printer.zor", {"10X8XN", "EDITED", "LOGOPRT"});
  EXPECT_EQ(r.run("printer").exit_code, 0);
  EXPECT_EQ(port.read_available(1000), "EDITED\r\n");
}

TEST(PrinterParallelPath, ModelBLogoUsesTheParallelCodes) {
  SpoolerRun r;
  r.job("printer.zor", {"PXBXN", "LOGOPRT", "TEXT"});
  EXPECT_EQ(r.run("printer").exit_code, 0);
  EXPECT_EQ(r.parallel_output(), "\x1F\x30\x04\x1D\x2F\x00TEXT\r\n"s);
  expect_success(r, "P");

  r.work.write("lpt1.out", "");
  r.job("printer.zor", {"PX0X5", "LOGOPRT", "BARPRT", "AB"});
  EXPECT_EQ(r.run("printer").exit_code, 0);
  // Option "5" prints no logo on the parallel port.
  EXPECT_EQ(r.parallel_output(),
            "\x1D\x66\x01\x1D\x68\x30\x1D\x77\x02\x1B\x61\x31\x1D\x6B\x04" "AB\0AB\r\n"s);
}

TEST(PrinterParallelPath, Model4PrintsTheLogoFileAndCode128) {
  SpoolerRun r;
  // A logo file: 62 header bytes, then 166 rows of 56 bytes, row r filled with r.
  std::string logo(62, 'h');
  for (int row = 0; row < 166; ++row) logo += std::string(56, static_cast<char>(row));
  r.work.write("pv_logo.bmp", logo);
  r.job("printer.zor", {"PX4X1", "BARPRT", "Ab1", "LOGOPRT"});
  auto res = r.run("printer");
  EXPECT_EQ(res.exit_code, 0) << res.err;
  const std::string out = r.parallel_output();
  std::string expected = "\x12\x7E\x64\x1B\x3D\x31\x12\x7A\x00\x48\x21"s;
  for (int row = 165; row >= 0; --row) {
    expected += "\x1B\x56\x01\x00"s + std::string(8, '\0') +
                std::string(56, static_cast<char>(~row)) + std::string(8, '\0');
  }
  expected += "\x12\x7A\x01\x00"s;
  expected += "\x1D\x68\x50\x1D\x77\x00\x01\x1D\x50\x01\x1D\x66\x00\x1D\x48\x02\x1D\x6B\x08\x68"s;
  expected += "\x21\x42\x11\xFF\x0D\r\n"s;  // 'A'-32, 'b'-32, '1'-32
  EXPECT_EQ(out.size(), expected.size());
  EXPECT_EQ(out, expected);
}

TEST(PrinterFailures, MissingJobFile) {
  SpoolerRun r;
  auto res = r.run("printer");
  EXPECT_EQ(res.exit_code, 1);
  expect_failure(r, "File not found");
}

TEST(PrinterFailures, BarcodeOnTheLastLineReleasesThePort) {
  SpoolerRun r;
  testkit::VirtualPort port(11);
  r.job("printer.zor", {"11X0XN", "BEFORE", "BARPRT"});
  auto res = r.run("printer");
  EXPECT_EQ(res.exit_code, 1);
  expect_failure(r, "Input past end of file");
  EXPECT_EQ(r.get("spiro", "11"), "N");
  EXPECT_EQ(port.read_available(500), "BEFORE\r\n");  // what was sent stays sent
  // The port was let go: it can be opened again.
  auto again = serial::open("COM11");
  EXPECT_EQ(again.status, serial::OpenStatus::Ok) << again.text;
}

TEST(PrinterFailures, PortThatCannotBeOpened) {
  SpoolerRun r;
  testkit::ScopedEnv missing("PINK_COM12", "/nonexistent/tty12");
  r.job("printer.zor", {"12X0XN", "TEXT"});
  EXPECT_EQ(r.run("printer").exit_code, 1);
  expect_failure(r, "Invalid port number");
  EXPECT_EQ(r.get("spiro", "12"), "N");
}

TEST(PrinterFailures, ShortLogoFileAndBadModel4BarcodeData) {
  SpoolerRun r;
  r.work.write("pv_logo.bmp", std::string(9295, '\xFF'));
  r.job("printer.zor", {"PX4X1", "TEXT"});
  EXPECT_EQ(r.run("printer").exit_code, 1);
  expect_failure(r, "Bad record number");
  EXPECT_EQ(r.get("spiro", "P"), "N");

  r.job("printer.zor", {"PX4XN", "BARPRT", "A\tB"});
  EXPECT_EQ(r.run("printer").exit_code, 1);
  expect_failure(r, "Invalid procedure call or argument");

  std::filesystem::remove(r.work.file("pv_logo.bmp"));
  r.job("printer.zor", {"PX4X1", "TEXT"});
  EXPECT_EQ(r.run("printer").exit_code, 1);
  expect_failure(r, "File not found");
}

TEST(PrinterPortBusy, AFlagThatNeverClearsIsWaitedForAndLogged) {
  SpoolerRun r;
  testkit::VirtualPort port(13);
  r.set("spiro", "PortCheckYN", "Y");
  r.set("spiro", "13", "Y");
  r.job("printer.zor", {"13X0XN", "AFTER WAIT"});
  auto res = r.run("printer");
  EXPECT_EQ(res.exit_code, 0) << res.err;
  EXPECT_EQ(port.read_available(1000), "AFTER WAIT\r\n");
  const std::string log = r.log();
  ASSERT_EQ(log.size(), 1u + 10 + 1 + 19 + 3) << log;
  EXPECT_EQ(log.substr(0, 12), "\"13 Port-10 ");
  EXPECT_EQ(r.get("spiro", "13"), "N");
}

TEST(PrinterPortBusy, MissingLogFolderIsAFailure) {
  SpoolerRun r;
  std::filesystem::remove_all(r.work.file("zorlog"));
  r.set("spiro", "PortCheckYN", "Y");
  r.set("spiro", "14", "Y");
  r.job("printer.zor", {"14X0XN", "TEXT"});
  EXPECT_EQ(r.run("printer").exit_code, 1);
  expect_failure(r, "Path not found");
  EXPECT_EQ(r.get("spiro", "14"), "N");
}

TEST(PrinterPortBusy, AFlagClearedWhileWaitingEndsTheWaitEarly) {
  SpoolerRun r;
  testkit::VirtualPort port(15);
  r.set("spiro", "PortCheckYN", "Y");
  r.set("spiro", "15", "Y");
  r.job("printer.zor", {"15X0XN", "GO"});
  testkit::RunOptions o;
  o.cwd = r.work.path();
  testkit::Process p(testkit::program("printer"), {}, o);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  r.set("spiro", "15", "N");
  ASSERT_EQ(p.wait(10000), 0);
  const std::string log = r.log();
  ASSERT_FALSE(log.empty());
  const int polls = std::stoi(log.substr(9));  // "15 Port-<n> ..."
  EXPECT_GE(polls, 1);
  EXPECT_LT(polls, 10) << log;
  EXPECT_EQ(port.read_available(1000), "GO\r\n");
}

}  // namespace
}  // namespace pink

namespace pink {
namespace {

// printer copied into a folder of its own, with the given text edit library
// beside it (or none), so that it loads exactly that one.
std::string printer_with_edit_library(const testkit::TempDir& folder, const std::string& library) {
  namespace fs = std::filesystem;
  fs::copy_file(testkit::program("printer"), folder.file("printer"));
  if (!library.empty()) fs::copy_file(library, folder.file("libXOposPrint.so"));
  return folder.path();
}

TEST(PrinterEditedLines, TheLibrarysTextIsSentTrimmedWithoutALineEnd) {
  testing::SpoolerRun r;
  testkit::VirtualPort port(16);
  testkit::TempDir bin;
  const std::string double_lib =
      testkit::bin_dir() + "/../tests/textedit_double/edit/libXOposPrint.so";
  ASSERT_TRUE(std::filesystem::exists(double_lib)) << double_lib;
  r.job("printer.zor", {"16X8XN", "hello", "FAIL this line", "bye"});
  auto res = r.run("printer", printer_with_edit_library(bin, double_lib));
  EXPECT_EQ(res.exit_code, 0) << res.err;
  EXPECT_EQ(port.read_available(1000), "HELLOErrorBYE");
}

TEST(PrinterEditedLines, WithoutTheLibraryEveryLinePrintsError) {
  testing::SpoolerRun r;
  testkit::VirtualPort port(17);
  testkit::TempDir bin;
  r.job("printer.zor", {"17X8XN", "one", "two"});
  testkit::ScopedEnv no_search_path("LD_LIBRARY_PATH", std::nullopt);
  auto res = r.run("printer", printer_with_edit_library(bin, ""));
  EXPECT_EQ(res.exit_code, 0) << res.err;
  EXPECT_EQ(port.read_available(1000), "ErrorError");
}

}  // namespace
}  // namespace pink
