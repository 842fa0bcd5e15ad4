// rcptlib's network printer against a loopback server on 127.0.0.1:9100, the
// printer's fixed port. These tests hold the ctest resource lock "tcp9100".
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "pink/rcptlib.h"
#include "platform/socket.h"
#include "rcptlib/bitimage.h"
#include "tests/rcptlib/bmp_writer.h"
#include "tools/testkit/testkit.h"

namespace pink {
namespace {

using rcptlib::testing::Picture;
using rcptlib::testing::Rgb;

// Accepts one connection on 127.0.0.1:9100 and collects what arrives until
// the peer closes.
class Server {
 public:
  Server() {
    auto listening = net::listen("127.0.0.1", 9100);
    if (!listening) {
      error_ = listening.why();
      return;
    }
    listener_ = std::move(*listening);
    thread_ = std::thread([this] {
      auto s = listener_->accept(10000);
      if (!s) return;
      std::uint8_t buf[4096];
      for (;;) {
        if (s->wait_readable(10000) <= 0) return;
        long n = s->recv(buf);
        if (n <= 0) return;
        received_.append(reinterpret_cast<char*>(buf), static_cast<std::size_t>(n));
      }
    });
  }
  ~Server() {
    if (thread_.joinable()) thread_.join();
  }
  bool ok() const { return listener_ != nullptr; }
  const std::string& error() const { return error_; }
  // Waits for the peer to close and returns everything received.
  std::string received() {
    if (thread_.joinable()) thread_.join();
    return received_;
  }

 private:
  std::string error_;
  std::unique_ptr<net::Listener> listener_;
  std::thread thread_;
  std::string received_;
};

TEST(RcptlibTcp9100, TextAndBitmapArriveExactly) {
  Server server;
  ASSERT_TRUE(server.ok()) << server.error();
  testkit::TempDir dir;
  Picture p(100, 20, 24);
  for (int r = 0; r < 20; ++r)
    for (int x = 0; x < 100; ++x) p.at(x, r) = static_cast<std::uint32_t>((x * 2 + r) * 0x010101);
  const auto file = rcptlib::testing::encode(p);
  dir.write("logo.bmp", std::string(file.begin(), file.end()));

  ASSERT_EQ(OpenTcpip("127.0.0.1"), 0);
  EXPECT_EQ(PrintStringTcpip("HELLO\r\n"), 0);
  EXPECT_EQ(PrintBitmapTcpip(dir.file("logo.bmp").c_str(), 0, 4), 0);
  EXPECT_EQ(CloseTcpip(), 0);

  rcptlib::BitImage img;
  ASSERT_EQ(rcptlib::convert(file, 0, 4, img), rcptlib::ConvertError::None);
  std::string expected = "HELLO\r\n";
  expected.append(img.header.begin(), img.header.end());
  expected.append(img.raster.begin(), img.raster.end());
  expected += "\x1D\x2F\x30\x1B\x61\x30";
  EXPECT_EQ(server.received(), expected);
}

TEST(RcptlibTcp9100, NoPrinterListeningFailsTheOpen) {
  EXPECT_EQ(OpenTcpip("127.0.0.1"), -1);
  EXPECT_EQ(PrintString("x"), 0);
  EXPECT_EQ(CloseTcpip(), 0);
}

}  // namespace
}  // namespace pink
