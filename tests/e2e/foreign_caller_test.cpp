// POS programs written in Python, started from their own folders, load the
// suite's libraries by full path with ctypes, as integrators do: the payment
// library must find the SSL client library beside itself wherever the caller
// lives, and the printer and card reader libraries must work from there too.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/e2e/payment_network.h"
#include "tests/rcptlib/bmp_writer.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace pink {
namespace {

namespace fs = std::filesystem;

TEST(ForeignCaller, PythonPosInAnotherFolderRunsAWholeExchangeThroughTheLibrariesItShips) {
  testing::PaymentNetwork network;
  const std::string response = "PAYSIM000001" "0910" "APPROVED";
  network.start({"--response", response});

  // The POS ships the two libraries in a folder of its own.
  testkit::TempDir pos;
  pos.mkdir("vendor");
  for (const char* lib : {"libCorvanaVAN.so", "libssllib32.so"}) {
    fs::copy_file(testkit::program(lib), pos.file(std::string("vendor/") + lib));
  }
  pos.mkdir("run");

  const std::string script = R"(
import ctypes, sys
van = ctypes.CDLL(sys.argv[1])
van.SSL_ConnRcvSnd.argtypes = [ctypes.c_char_p, ctypes.c_short, ctypes.c_char_p,
                               ctypes.c_short, ctypes.c_char_p, ctypes.c_short]
request = b"AB0200123456"
response = ctypes.create_string_buffer(4096)
n = van.SSL_ConnRcvSnd(b"127.0.0.1", int(sys.argv[2]), request, len(request), response, 10)
print(n)
if n > 0:
    print(response.raw[:n].decode())
)";
  testkit::RunOptions options;
  options.cwd = pos.file("run");
  options.timeout_ms = 60000;
  const auto r = testkit::run_python(
      script, {pos.file("vendor/libCorvanaVAN.so"), std::to_string(network.port)}, options);
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, std::to_string(response.size()) + "\n" + response + "\n") << r.err;
  EXPECT_NE(network.log().find("<- request (12 bytes): AB0200123456"), std::string::npos) << network.log();
}

TEST(ForeignCaller, PythonPosPrintsTextAndABitmapFromItsOwnFolderAndReadsTheClock) {
  testkit::VirtualPort printer(47);
  testkit::TempDir pos;
  rcptlib::testing::Picture logo(16, 2, 1);
  logo.palette = {rcptlib::testing::Rgb{255, 255, 255}, rcptlib::testing::Rgb{0, 0, 0}};
  logo.at(0, 0) = 1;
  const auto bmp = rcptlib::testing::encode(logo);
  pos.write("logo.bmp", std::string(bmp.begin(), bmp.end()));

  const std::string script = R"(
import ctypes, sys
lib = ctypes.CDLL(sys.argv[1])
print(lib.OpenPort(b"COM47", 9600))
print(lib.PrintString("주문 1\r\n".encode("cp949")))
print(lib.PrintBitmap(b"logo.bmp", 0, 0))
print(lib.PrintBitmap(None, 0, 0), lib.PrintString(None))
print(lib.ClosePort())
ic = ctypes.CDLL(sys.argv[2])
stamp = ctypes.create_string_buffer(b"#" * 16)
print(ic.ZV_EXT_GetDateTime(stamp), stamp.raw[:16].decode())
)";
  testkit::RunOptions options;
  options.cwd = pos.path();
  const auto r = testkit::run_python(
      script, {testkit::program("librcptlib.so"), testkit::program("libicapi.so")}, options);
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, 14), "0\n0\n0\n0 0\n0\n0 ") << r.out;
  const std::string stamp = r.out.substr(14);
  EXPECT_EQ(stamp.size(), 17u) << r.out;
  EXPECT_EQ(stamp.substr(0, 2), "20") << r.out;
  EXPECT_EQ(stamp.substr(14), "##\n") << r.out;

  const std::string received = printer.read_for(200, 5000);
  EXPECT_EQ(received.substr(0, 8), "\xC1\xD6\xB9\xAE 1\r\n") << received.size();
  EXPECT_GT(received.size(), 8u);  // the bit image of the logo, taken from the caller's folder
}

}  // namespace
}  // namespace pink
