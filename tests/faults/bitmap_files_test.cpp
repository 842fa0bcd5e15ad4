// PrintBitmap given something that is no bitmap file it could take: a
// device that never ends, a pipe nobody writes, a file far larger than any
// bitmap the library accepts. Each call returns its 0 at once and sends
// nothing; the connection stays usable.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <string>

#include "pink/rcptlib.h"
#include "rcptlib/bmp.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace pink {
namespace {

TEST(BitmapFiles, DevicesPipesAndHugeFilesPrintNothingAndReturnAtOnce) {
  testkit::TempDir dir;
  testkit::VirtualPort port(61);
  ASSERT_EQ(::mkfifo(dir.file("sign.bmp").c_str(), 0600), 0);
  {
    std::ofstream f(dir.file("huge.bmp"), std::ios::binary);
    f << "BM";
  }
  // Sparse: costs no disk, one byte past what the reader takes.
  ASSERT_EQ(::truncate(dir.file("huge.bmp").c_str(), static_cast<off_t>(rcptlib::kMaxFileBytes + 1)), 0);
  ASSERT_EQ(OpenPort("COM61", 9600), 0);
  for (const std::string& file : {std::string("/dev/zero"), dir.file("sign.bmp"), dir.file("huge.bmp"), dir.path()}) {
    SCOPED_TRACE(file);
    auto call = std::async(std::launch::async, [&] { return PrintBitmap(file.c_str(), 1, 0); });
    ASSERT_EQ(call.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "PrintBitmap blocks";
    EXPECT_EQ(call.get(), 0);
    EXPECT_EQ(PrintBitmapTcpip(file.c_str(), 1, 0), 0);
    EXPECT_EQ(port.read_available(100), "");
  }
  PrintString("STILL HERE\r\n");
  EXPECT_EQ(port.read_available(5000), "STILL HERE\r\n");
  ClosePort();
}

}  // namespace
}  // namespace pink
