// drawerd against a serial receipt printer played by the test on a virtual
// COM port: one ESC p pulse per open-drawer call, DLE EOT 1 per status
// request with the drawer pin read from the answer, and a printer that does
// not answer giving a refused status.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "pink/drawer.h"
#include "platform/serial.h"
#include "tests/drawer/served_drawer.h"
#include "tests/drawer/tools_helpers.h"
#include "tools/drawerd/bridge.h"
#include "tools/testkit/vport.h"

namespace pink {
namespace {

using testing::Server;
using Bytes = std::vector<std::uint8_t>;

const std::string kStatusQuery("\x10\x04\x01", 3);

TEST(DrawerdBridge, PulseCommandKeepsTheDutyOfTheDrawerPort) {
  EXPECT_EQ(drawerd::pulse_command(2, 50), (Bytes{0x1B, 0x70, 0x00, 25, 100}));
  EXPECT_EQ(drawerd::pulse_command(5, 30), (Bytes{0x1B, 0x70, 0x01, 15, 60}));
  EXPECT_EQ(drawerd::pulse_command(2, 2), (Bytes{0x1B, 0x70, 0x00, 1, 4}));
  EXPECT_EQ(drawerd::pulse_command(2, 0), (Bytes{0x1B, 0x70, 0x00, 1, 4}));
  // Long pulses: the off time cannot exceed 255 x 2 ms.
  EXPECT_EQ(drawerd::pulse_command(2, 200), (Bytes{0x1B, 0x70, 0x00, 100, 255}));
  EXPECT_EQ(drawerd::pulse_command(2, 2000), (Bytes{0x1B, 0x70, 0x00, 255, 255}));
}

TEST(DrawerdBridge, DrawerBitFromThePrinterStatusByte) {
  // Pin 3 high (bit 2), with and without the off-line bit.
  EXPECT_EQ(drawerd::drawer_status(0x16, true), PINK_DRAWER_STATUS_OPEN);
  EXPECT_EQ(drawerd::drawer_status(0x1E, true), PINK_DRAWER_STATUS_OPEN);
  EXPECT_EQ(drawerd::drawer_status(0x12, true), 0);
  EXPECT_EQ(drawerd::drawer_status(0x12, false), PINK_DRAWER_STATUS_OPEN);
  EXPECT_EQ(drawerd::drawer_status(0x16, false), 0);
  // Bytes that cannot be the printer status: fixed bits wrong.
  for (const std::uint8_t b : {0x00, 0xFF, 0x17, 0x92, 0x06, 0x10, 0x11, 0x13}) {
    EXPECT_EQ(drawerd::drawer_status(b, true), std::nullopt) << int(b);
  }
}

TEST(DrawerdProgram, OpenDrawerIsOnePulseOnTheSerialPrinter) {
  testkit::TempDir dir;
  testkit::VirtualPort port(31);
  Server drawerd(testkit::program("drawerd"), {"TevDraw2kKwDev", "--printer", "COM31", "--baud", "19200"},
                 dir.path());
  ASSERT_TRUE(drawerd.ready()) << drawerd.out();
  EXPECT_EQ(port.line().baud, 19200u);
  ASSERT_EQ(OpenDrawPort(), 1);
  EXPECT_EQ(OpenDraw(), 1);
  EXPECT_EQ(port.read_exact(5, 5000), std::string("\x1B\x70\x00\x19\x64", 5));
  EXPECT_EQ(port.read_available(100), "");  // one pulse per call, nothing else
  // Between requests the line is free for the programs that print.
  EXPECT_EQ(serial::open("COM31").status, serial::OpenStatus::Ok);
  EXPECT_EQ(OpenDraw(), 1);
  EXPECT_EQ(port.read_exact(5, 5000), std::string("\x1B\x70\x00\x19\x64", 5));
  EXPECT_EQ(CloseDrawPort(), 1);
  EXPECT_EQ(drawerd.process().terminate(5000), 0);
  const auto r = testing::logged_requests(drawerd.out());
  ASSERT_EQ(r.size(), 6u) << drawerd.out();
  EXPECT_EQ(r[1].role, "release-on");
  EXPECT_NE(drawerd.out().find("printer send=1B70001964"), std::string::npos);
}

TEST(DrawerdProgram, StatusIsTheDrawerPinOfTheRealTimeStatus) {
  testkit::TempDir dir;
  testkit::VirtualPort port(32);
  Server drawerd(testkit::program("drawerd"),
                 {"cashbox", "--printer", "COM32", "--pin", "5", "--pulse", "100", "--status-timeout", "300",
                  "--hold"},
                 dir.path());
  ASSERT_TRUE(drawerd.ready()) << drawerd.out();
  ASSERT_EQ(OpenCBX(), 1);
  EXPECT_EQ(Trigger(), 1);
  EXPECT_EQ(port.read_exact(5, 5000), std::string("\x1B\x70\x01\x32\xC8", 5));
  EXPECT_EQ(serial::open("COM32").status, serial::OpenStatus::InUse);  // held

  auto status = [&](const std::string& answer) {
    auto s = std::async(std::launch::async, [] { return GetStatus(); });
    EXPECT_EQ(port.read_exact(3, 5000), kStatusQuery);
    if (!answer.empty()) port.write(answer);
    return s.get();
  };
  EXPECT_EQ(status("\x16"), PINK_DRAWER_STATUS_OPEN);
  EXPECT_EQ(status("\x12"), 0);
  // Flow control and automatic status bytes ahead of the answer are passed over.
  EXPECT_EQ(status(std::string("\x11\x00\x0F\x1E", 4)), PINK_DRAWER_STATUS_OPEN);
  // A printer that does not answer, or answers nonsense: refused, within the bound.
  const double t = testing::now_ms();
  EXPECT_EQ(status(""), 0);
  EXPECT_EQ(status("\xFF"), 0);
  EXPECT_LT(testing::now_ms() - t, 2 * 3000.0);
  // The refusals did not break the connection.
  EXPECT_EQ(status("\x16"), PINK_DRAWER_STATUS_OPEN);
  EXPECT_EQ(CloseCBX(), 1);
  drawerd.process().terminate(5000);
  const auto r = testing::logged_requests(drawerd.out());
  ASSERT_FALSE(r.empty());
  EXPECT_NE(drawerd.out().find("refused why=printer-silent"), std::string::npos) << drawerd.out();
}

TEST(DrawerdProgram, OpenLevelLowReadsAShutDrawerFromAHighPin) {
  testkit::TempDir dir;
  testkit::VirtualPort port(33);
  Server drawerd(testkit::program("drawerd"), {"drawerio", "--printer", "COM33", "--open-level", "low"},
                 dir.path());
  ASSERT_TRUE(drawerd.ready()) << drawerd.out();
  ASSERT_EQ(OpenDrawPort(), 1);
  auto status = [&](const std::string& answer) {
    auto s = std::async(std::launch::async, [] { return GetDrawStatus(); });
    EXPECT_EQ(port.read_exact(3, 5000), kStatusQuery);
    port.write(answer);
    return s.get();
  };
  EXPECT_EQ(status("\x16"), 0);
  EXPECT_EQ(status("\x12"), PINK_DRAWER_STATUS_OPEN);
  EXPECT_EQ(CloseDrawPort(), 1);
}

TEST(DrawerdProgram, PrinterDeviceNodeCarriesPulseAndStatus) {
  // The pseudo-terminal's device node stands in for /dev/usb/lp0.
  testkit::TempDir dir;
  testkit::VirtualPort port(34);
  Server drawerd(testkit::program("drawerd"),
                 {"drawerio", "--printer", port.slave_path(), "--status-timeout", "300"}, dir.path());
  ASSERT_TRUE(drawerd.ready()) << drawerd.out();
  ASSERT_EQ(OpenDrawPort(), 1);
  EXPECT_EQ(OpenDraw(), 1);
  EXPECT_EQ(port.read_exact(5, 5000), std::string("\x1B\x70\x00\x19\x64", 5));
  auto status = [&](const std::string& answer) {
    auto s = std::async(std::launch::async, [] { return GetDrawStatus(); });
    EXPECT_EQ(port.read_exact(3, 5000), kStatusQuery);
    if (!answer.empty()) port.write(answer);
    return s.get();
  };
  EXPECT_EQ(status("\x12"), 0);
  EXPECT_EQ(status("\x16"), PINK_DRAWER_STATUS_OPEN);
  EXPECT_EQ(status(""), 0);
  EXPECT_EQ(CloseDrawPort(), 1);
}

TEST(DrawerdProgram, CommandLineAndAPrinterThatIsNotThere) {
  testkit::TempDir dir;
  testkit::RunOptions o;
  o.env["PINK_DRAWERDIR"] = dir.path();
  const auto help = testkit::run(testkit::program("drawerd"), {"--help"}, o);
  EXPECT_EQ(help.exit_code, 0);
  for (const char* word : {"--printer", "--pulse", "--open-level", "ESC p", "DLE EOT"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
  const auto missing =
      testkit::run(testkit::program("drawerd"), {"drawerio", "--printer", dir.file("no-printer")}, o);
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("no-printer"), std::string::npos) << missing.err;
  const std::vector<std::vector<std::string>> bad = {
      {"drawerio"},
      {"drawerio", "--printer"},
      {"drawerio", "--printer", "COM1", "--pin", "3"},
      {"drawerio", "--printer", "COM1", "--pulse", "1"},
      {"drawerio", "--printer", "COM1", "--pulse", "511"},
      {"drawerio", "--printer", "COM1", "--open-level", "middle"},
      {"drawerio", "--printer", "COM1", "--status-timeout", "5000"},
  };
  for (const auto& args : bad) {
    const auto r = testkit::run(testkit::program("drawerd"), args, o);
    EXPECT_EQ(r.exit_code, 2) << ::testing::PrintToString(args);
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace pink
