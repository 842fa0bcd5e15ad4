// rcptlib through its exported functions, against virtual devices: a
// pseudo-terminal COM port, plain files standing for devices, and a fake
// sysfs tree with a fake USB printer node. Every test runs in a process of
// its own, so the library's one connection starts closed each time.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "pink/rcptlib.h"
#include "platform/serial.h"
#include "rcptlib/bitimage.h"
#include "tests/rcptlib/bmp_writer.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace pink {
namespace {

using rcptlib::testing::Picture;
using rcptlib::testing::Rgb;

std::string bytes_of(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

// A 100 x 20 monochrome picture with a white first palette entry and a
// diagonal of set bits.
std::vector<std::uint8_t> mono_100x20() {
  Picture p(100, 20, 1);
  p.palette = {Rgb{255, 255, 255}, Rgb{0, 0, 0}};
  for (int r = 0; r < 20; ++r) p.at(r * 5, r) = 1;
  return rcptlib::testing::encode(p);
}

// What the converter makes of a file, as the bytes that must arrive.
std::string expected_bitimage(const std::vector<std::uint8_t>& file, int just, int size) {
  rcptlib::BitImage img;
  EXPECT_EQ(rcptlib::convert(file, just, size, img), rcptlib::ConvertError::None);
  std::string s(img.header.begin(), img.header.end());
  s += bytes_of(img.raster);
  s.append(img.print_command.begin(), img.print_command.end());
  s.append(img.justification.begin(), img.justification.end());
  return s;
}

// Runs the test in a temporary folder.
struct InTempFolder {
  testkit::TempDir dir;
  std::filesystem::path old = std::filesystem::current_path();
  InTempFolder() { std::filesystem::current_path(dir.path()); }
  ~InTempFolder() { std::filesystem::current_path(old); }
};

TEST(RcptlibSerial, PrintsTextExactlyAndClosesThePort) {
  testkit::VirtualPort port(71);
  ASSERT_EQ(OpenPort("COM71", 9600), 0);
  EXPECT_EQ(port.line().baud, 9600u);
  EXPECT_EQ(PrintString("RECEIPT\r\n\x1B\x61\x31"), 0);
  EXPECT_EQ(port.read_exact(12, 2000), "RECEIPT\r\n\x1B\x61\x31");
  EXPECT_EQ(ClosePort(), 0);
  // Closed: the port can be taken by someone else, and prints send nothing.
  auto again = serial::open("COM71");
  EXPECT_EQ(again.status, serial::OpenStatus::Ok);
  again.port.reset();
  EXPECT_EQ(PrintString("after close"), 0);
  EXPECT_EQ(port.read_available(200), "");
}

TEST(RcptlibSerial, LongTextGoesOutWholeInOrder) {
  testkit::VirtualPort port(72);
  ASSERT_EQ(OpenPort("COM72", 115200), 0);
  std::string text;
  for (int i = 0; text.size() < 10000; ++i) text += "line " + std::to_string(i) + "\r\n";
  EXPECT_EQ(PrintString(text.c_str()), 0);
  EXPECT_EQ(port.read_exact(text.size(), 10000), text);
  ClosePort();
}

TEST(RcptlibSerial, BlocksWithZeroBytesPassWhole) {
  testkit::VirtualPort port(73);
  ASSERT_EQ(OpenPort("COM73", 19200), 0);
  const std::string block("\x1D\x6B\x04" "12345" "\0" "12345\r\n", 16);
  EXPECT_EQ(PrintBytes(block.data(), static_cast<int32_t>(block.size())), 0);
  EXPECT_EQ(port.read_exact(block.size(), 2000), block);
  EXPECT_EQ(PrintBytes(nullptr, 5), 0);
  EXPECT_EQ(PrintBytes("abc", -1), 0);
  EXPECT_EQ(PrintString(""), 0);
  EXPECT_EQ(PrintString(nullptr), 0);
  EXPECT_EQ(port.read_available(200), "");
  ClosePort();
}

TEST(RcptlibSerial, RefusedRateLeavesNothingOpen) {
  testkit::VirtualPort port(74);
  EXPECT_EQ(OpenPort("COM74", 14400), -1);
  EXPECT_EQ(OpenPort("COM74", 0), -1);
  auto again = serial::open("COM74");
  EXPECT_EQ(again.status, serial::OpenStatus::Ok) << again.text;
  again.port.reset();
  EXPECT_EQ(PrintString("nothing"), 0);
  EXPECT_EQ(port.read_available(200), "");
  // A port that does not exist fails too.
  testkit::ScopedEnv missing("PINK_COM75", "/nonexistent/tty");
  EXPECT_EQ(OpenPort("COM75", 9600), -1);
}

TEST(RcptlibSerial, CallsBeforeAnyOpenSendNothing) {
  testkit::VirtualPort port(76);
  InTempFolder here;
  here.dir.write("logo.bmp", bytes_of(mono_100x20()));
  EXPECT_EQ(PrintString("x"), 0);
  EXPECT_EQ(PrintBitmap("logo.bmp", 1, 0), 0);
  EXPECT_EQ(ClosePort(), 0);
  EXPECT_EQ(port.read_available(200), "");
}

TEST(RcptlibSerial, BitmapArrivesAsHeaderRasterPrintAndJustification) {
  testkit::VirtualPort port(77);
  InTempFolder here;
  const auto file = mono_100x20();
  here.dir.write("sign.bmp", bytes_of(file));
  ASSERT_EQ(OpenPort("COM77", 38400), 0);
  EXPECT_EQ(PrintBitmap("sign.bmp", 1, 0), 0);
  const std::string expected = expected_bitimage(file, 1, 0);
  ASSERT_EQ(expected.size(), 4u + 312 + 3 + 3);
  EXPECT_EQ(expected.substr(0, 4), "\x1D\x2A\x0D\x03");
  EXPECT_EQ(port.read_exact(expected.size(), 10000), expected);

  // Files that are not bitmaps, or missing files, send nothing.
  here.dir.write("bad.bmp", "BM not really");
  EXPECT_EQ(PrintBitmap("bad.bmp", 1, 0), 0);
  EXPECT_EQ(PrintBitmap("missing.bmp", 1, 0), 0);
  EXPECT_EQ(PrintBitmap(nullptr, 1, 0), 0);
  EXPECT_EQ(port.read_available(200), "");
  ClosePort();
}

TEST(RcptlibSerial, ImageBeyondTheWorkAreaSendsNothing) {
  testkit::VirtualPort port(78);
  InTempFolder here;
  Picture wide(2048, 8, 1);  // 256 byte-columns: more than one header byte holds
  wide.palette = {Rgb{0, 0, 0}, Rgb{255, 255, 255}};
  here.dir.write("wide.bmp", bytes_of(rcptlib::testing::encode(wide)));
  ASSERT_EQ(OpenPort("COM78", 9600), 0);
  EXPECT_EQ(PrintBitmap("wide.bmp", 1, 0), 0);
  EXPECT_EQ(PrintBitmapTcpip("wide.bmp", 1, 0), 0);
  EXPECT_EQ(port.read_available(300), "");
  ClosePort();
}

TEST(RcptlibPlain, LowerCaseComIsAPlainDeviceName) {
  testkit::VirtualPort port(79);
  InTempFolder here;
  here.dir.write("com79", "");
  ASSERT_EQ(OpenPort("com79", 9600), 0);
  PrintString("to the file");
  ClosePort();
  EXPECT_EQ(here.dir.read("com79"), "to the file");
  EXPECT_EQ(port.read_available(200), "");
  // A plain name that does not exist is not created.
  EXPECT_EQ(OpenPort("no-such-device", 9600), -1);
  EXPECT_FALSE(here.dir.exists("no-such-device"));
}

TEST(RcptlibPlain, ParallelPortAndBothBitmapCallsSendTheSameBytes) {
  InTempFolder here;
  here.dir.write("lp0", "");
  testkit::ScopedEnv lpt("PINK_LPT1", here.dir.file("lp0"));
  const auto file = mono_100x20();
  here.dir.write("logo.bmp", bytes_of(file));
  ASSERT_EQ(OpenPort("LPT1", 0), 0);
  PrintString("A");
  PrintBitmap("logo.bmp", 0, 2);
  PrintString("B");
  PrintBitmapTcpip("logo.bmp", 2, 3);
  ClosePort();
  const std::string expected =
      "A" + expected_bitimage(file, 0, 2) + "B" + expected_bitimage(file, 2, 3);
  EXPECT_EQ(here.dir.read("lp0"), expected);
  EXPECT_EQ(expected.substr(1 + 4 + 312, 6), "\x1D\x2F\x32\x1B\x61\x30");
}

// A fake sysfs tree with one usblp printer whose USB device has the given ids,
// and its device node as a plain file.
struct FakeUsb {
  testkit::TempDir root;
  testkit::ScopedEnv sysfs{"PINK_SYSFS", root.file("sys")};
  testkit::ScopedEnv devroot{"PINK_DEVROOT", root.file("dev")};

  void add(int n, const std::string& vendor, const std::string& product) {
    const std::string dev = "sys/devices/usb1/1-" + std::to_string(n);
    root.write(dev + "/idVendor", vendor + "\n");
    root.write(dev + "/idProduct", product + "\n");
    root.mkdir(dev + "/1-" + std::to_string(n) + ":1.0");
    root.mkdir("sys/class/usbmisc/lp" + std::to_string(n));
    std::filesystem::create_directory_symlink(
        root.file(dev + "/1-" + std::to_string(n) + ":1.0"),
        root.file("sys/class/usbmisc/lp" + std::to_string(n) + "/device"));
    root.write("dev/usb/lp" + std::to_string(n), "");
  }
  std::string node(int n) const { return root.read("dev/usb/lp" + std::to_string(n)); }
};

TEST(RcptlibUsb, AnyUsbPrefixOpensTheMatchingPrinter) {
  for (const char* name : {"USB", "USB001", "USBXYZ"}) {
    FakeUsb usb;
    usb.add(0, "04b8", "0202");  // another vendor's printer: not taken
    usb.add(1, "0525", "a700");
    ASSERT_EQ(OpenPort(name, 9600), 0) << name;
    PrintString("usb text");
    ClosePort();
    EXPECT_EQ(usb.node(0), "") << name;
    // The close ends the job with a single 00 byte.
    EXPECT_EQ(usb.node(1), std::string("usb text\0", 9)) << name;
  }
}

TEST(RcptlibUsb, NoMatchingPrinterFailsAndLowerCaseIsPlain) {
  FakeUsb usb;
  usb.add(0, "04b8", "0202");
  EXPECT_EQ(OpenPort("USB001", 9600), -1);
  EXPECT_EQ(PrintString("x"), 0);
  EXPECT_EQ(usb.node(0), "");
  EXPECT_EQ(OpenPort("usb001", 9600), -1);  // a plain device name that does not exist
}

TEST(RcptlibUsb, BitmapGoesOutInOnePiecePerPart) {
  InTempFolder here;
  FakeUsb usb;
  usb.add(2, "0525", "A700");
  const auto file = mono_100x20();
  here.dir.write("sign.bmp", bytes_of(file));
  ASSERT_EQ(OpenPort("USB", 9600), 0);
  PrintBitmap("sign.bmp", 1, 1);
  ClosePort();
  EXPECT_EQ(usb.node(2), expected_bitimage(file, 1, 1) + std::string(1, '\0'));
}

TEST(RcptlibNetwork, NamesInsteadOfAddressesAreRefused) {
  EXPECT_EQ(OpenTcpip("localhost"), -1);
  EXPECT_EQ(OpenTcpip(""), -1);
  EXPECT_EQ(OpenTcpip(nullptr), -1);
  EXPECT_EQ(PrintString("x"), 0);  // nothing connected
  EXPECT_EQ(CloseTcpip(), 0);
}

TEST(RcptlibComEntryPoints, RegisterNothingAndReportSuccess) {
  EXPECT_EQ(DllRegisterServer(), 0);
  EXPECT_EQ(DllCanUnloadNow(), 0);
}

}  // namespace
}  // namespace pink
