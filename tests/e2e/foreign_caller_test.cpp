// A POS written in Python, started from its own folder, loads the payment
// library by its full path with ctypes and runs a whole exchange with the
// payment network simulator: the library must find the SSL client library
// beside itself, wherever the caller lives.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/e2e/payment_network.h"
#include "tools/testkit/testkit.h"

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

}  // namespace
}  // namespace pink
