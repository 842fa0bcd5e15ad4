// scanio through its exports, on a virtual COM2: the codes as the caller's
// buffer and window see them, byte for byte, in both modes.
//
// A chunk is what waits in the port when the driver reads: every "one chunk"
// case sends its bytes in one write, and in polling mode waits until all of
// them wait in the port before reading.
#include "pink/scanio.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "serialline/serialline.h"
#include "tests/scanio/sinks.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace pink {
namespace {

using testkit::Message;
using testkit::Pipe;

constexpr std::uint32_t kMessage = 0x8001;

// The scanner's port: the virtual COM2, and a look at its input queue.
class ScannerPort {
 public:
  ScannerPort() : vp_(2) {
    probe_ = ::open(vp_.slave_path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (probe_ < 0) throw std::runtime_error("cannot open " + vp_.slave_path());
  }
  ~ScannerPort() { ::close(probe_); }

  // Sends the bytes in one write.
  void send(std::string_view bytes) { vp_.write(bytes); }
  // True once exactly n bytes wait in the driver's input queue.
  bool waiting(std::size_t n) {
    return testkit::wait_until([&] { return queued() == n; }, 10000);
  }
  std::size_t queued() const {
    int n = 0;
    return ::ioctl(probe_, FIONREAD, &n) == 0 && n > 0 ? static_cast<std::size_t>(n) : 0;
  }
  testkit::VirtualPort& port() { return vp_; }
  // Puts the line back to raw 8N1 at 38400 without handshakes, so that what
  // the next open sets shows.
  void reset_line() {
    termios t{};
    ::tcgetattr(probe_, &t);
    ::cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
    t.c_cflag &= ~static_cast<tcflag_t>(PARODD | CMSPAR | CSTOPB | CRTSCTS);
    ::cfsetispeed(&t, B38400);
    ::cfsetospeed(&t, B38400);
    ::tcsetattr(probe_, TCSANOW, &t);
  }

 private:
  testkit::VirtualPort vp_;
  int probe_ = -1;
};

// Whatever a test leaves open is closed at its end.
struct CloseAtEnd {
  ~CloseAtEnd() { ScnCloseI(); }
};

// A caller's buffer, filled with a marker so that every byte written shows.
struct Buffer {
  Buffer() { std::memset(bytes, 'x', sizeof bytes); }
  std::string text() const { return std::string(bytes, ::strnlen(bytes, sizeof bytes)); }
  char bytes[100];
};

std::string letters(std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('A' + i % 26);
  return s;
}

TEST(ScanioMessage, AnEan13CodeFillsTheBufferAndPostsOneMessage) {
  ScannerPort port;
  Pipe window;
  Buffer buf;
  CloseAtEnd close;
  ASSERT_EQ(ScnOpenI(window.window(), kMessage, buf.bytes), 1);
  port.send("4901234567894\r");
  EXPECT_EQ(window.record(), (Message{kMessage, 0, 0}));
  // The 13 digits and their NUL, nothing more.
  EXPECT_EQ(std::string(buf.bytes, 15), std::string("4901234567894\0x", 15));
  EXPECT_TRUE(window.quiet(200));
  EXPECT_EQ(ScnCloseI(), 1);
}

TEST(ScanioMessage, OnlyTheFirstOfTwoCodesInAChunkIsDelivered) {
  ScannerPort port;
  Pipe window;
  Buffer buf;
  CloseAtEnd close;
  ASSERT_EQ(ScnOpenI(window.window(), kMessage, buf.bytes), 1);
  port.send("111\r222\r");
  EXPECT_EQ(window.record(), (Message{kMessage, 0, 0}));
  EXPECT_EQ(buf.text(), "111");
  EXPECT_TRUE(window.quiet(300));
  // The reader goes on with the next chunk.
  port.send("333\r");
  EXPECT_EQ(window.record(), (Message{kMessage, 0, 0}));
  EXPECT_EQ(buf.text(), "333");
}

TEST(ScanioMessage, ALongCodeIsCutAtNinetyNineAndTheRestOfItsChunkDropped) {
  ScannerPort port;
  Pipe window;
  Buffer buf;
  CloseAtEnd close;
  ASSERT_EQ(ScnOpenI(window.window(), kMessage, buf.bytes), 1);
  const std::string long_code = letters(120);
  port.send(long_code);
  ASSERT_TRUE(window.record());
  EXPECT_EQ(buf.text(), long_code.substr(0, 99));
  EXPECT_TRUE(window.quiet(300));
  // The 21 dropped characters do not start the next code.
  port.send("Z\r");
  ASSERT_TRUE(window.record());
  EXPECT_EQ(buf.text(), "Z");

  // 99 characters and a carriage return: one code, the carriage return goes
  // with its chunk.
  const std::string ninety_nine = letters(99);
  port.send(ninety_nine + "\r");
  ASSERT_TRUE(window.record());
  EXPECT_EQ(buf.text(), ninety_nine);
  EXPECT_TRUE(window.quiet(300));
}

TEST(ScanioMessage, ALineFeedInALaterChunkStartsTheNextCode) {
  ScannerPort port;
  Pipe window;
  Buffer buf;
  CloseAtEnd close;
  ASSERT_EQ(ScnOpenI(window.window(), kMessage, buf.bytes), 1);
  // In the code's own chunk the line feed is dropped with the rest.
  port.send("123\r\n");
  ASSERT_TRUE(window.record());
  EXPECT_EQ(buf.text(), "123");
  port.send("456\r");
  ASSERT_TRUE(window.record());
  EXPECT_EQ(buf.text(), "456");
  // Arriving after the code was delivered, it is the next code's first byte.
  port.send("\n789\r");
  ASSERT_TRUE(window.record());
  EXPECT_EQ(buf.text(), "\n789");
}

TEST(ScanioMessage, ASecondOpenIsRefusedAndChangesNothing) {
  ScannerPort port;
  Pipe first, second;
  Buffer buf1, buf2;
  CloseAtEnd close;
  ASSERT_EQ(ScnOpenI(first.window(), kMessage, buf1.bytes), 1);
  EXPECT_EQ(ScnOpenI(second.window(), kMessage + 1, buf2.bytes), 2);
  EXPECT_EQ(ScnOpenP(second.window()), 2);
  port.send("42\r");
  EXPECT_EQ(first.record(), (Message{kMessage, 0, 0}));
  EXPECT_EQ(buf1.text(), "42");
  EXPECT_EQ(std::string(buf2.bytes, 100), std::string(100, 'x'));
  EXPECT_TRUE(second.quiet(200));
}

TEST(ScanioMessage, CloseOnASilentPortReturnsAtOnceAndThePortOpensAgain) {
  ScannerPort port;
  Pipe window;
  Buffer buf;
  CloseAtEnd close;
  ASSERT_EQ(ScnOpenI(window.window(), kMessage, buf.bytes), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the reader is waiting
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ScnCloseI(), 1);
  // Woken at once; the bound is generous, but below the close's own limit.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
  EXPECT_EQ(ScnCloseI(), 0);

  ASSERT_EQ(ScnOpenI(window.window(), kMessage, buf.bytes), 1);
  port.send("9\r");
  ASSERT_TRUE(window.record());
  EXPECT_EQ(buf.text(), "9");
  EXPECT_EQ(ScnCloseI(), 1);
  // Either mode opens the released port.
  EXPECT_EQ(ScnOpenP(0), 1);
  EXPECT_EQ(ScnCloseP(), 1);
}

TEST(ScanioMessage, ClosingWithTheOtherModesCallStopsTheReaderAndALaterOpenWorks) {
  ScannerPort port;
  Pipe first, second;
  Buffer buf1, buf2;
  CloseAtEnd close;
  ASSERT_EQ(ScnOpenI(first.window(), kMessage, buf1.bytes), 1);
  EXPECT_EQ(ScnCloseP(), 1);
  EXPECT_EQ(ScnReadP(buf1.bytes), -1);
  EXPECT_EQ(ScnCloseI(), 0);
  // Reopened straight away, while the old reader may still be ending.
  ASSERT_EQ(ScnOpenI(second.window(), kMessage + 1, buf2.bytes), 1);
  port.send("666\r");
  EXPECT_EQ(second.record(), (Message{kMessage + 1, 0, 0}));
  EXPECT_EQ(buf2.text(), "666");
  EXPECT_TRUE(first.quiet(200));
  EXPECT_EQ(std::string(buf1.bytes, 100), std::string(100, 'x'));
  EXPECT_EQ(ScnCloseI(), 1);
}

TEST(ScanioMessage, ACallerThatDoesNotReadHoldsUpNeitherTheReaderNorTheClose) {
  ScannerPort port;
  Buffer buf;
  CloseAtEnd close;
  {
    // A full pipe: the code still reaches the buffer, the message is lost
    // after a bounded wait, and the close comes back.
    Pipe full;
    const std::size_t filled = full.fill();
    ASSERT_EQ(ScnOpenI(full.window(), kMessage, buf.bytes), 1);
    port.send("1\r");
    ASSERT_TRUE(testkit::wait_until([&] { return buf.text() == "1"; }, 10000));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ScnCloseI(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(full.drain(filled), filled);
    EXPECT_TRUE(full.quiet(100));
  }
  {
    // A caller whose end of the pipe is gone: no SIGPIPE ends the process.
    Pipe gone;
    gone.close_read_end();
    ASSERT_EQ(ScnOpenI(gone.window(), kMessage, buf.bytes), 1);
    port.send("2\r");
    ASSERT_TRUE(testkit::wait_until([&] { return buf.text() == "2"; }, 10000));
    port.send("3\r");
    ASSERT_TRUE(testkit::wait_until([&] { return buf.text() == "3"; }, 10000));
    EXPECT_EQ(ScnCloseI(), 1);
  }
}

TEST(ScanioMessage, ReadingInMessageModeLeavesTheInputToTheReader) {
  ScannerPort port;
  Pipe window;
  Buffer buf, polled;
  CloseAtEnd close;
  ASSERT_EQ(ScnOpenI(window.window(), kMessage, buf.bytes), 1);
  std::strcpy(polled.bytes, "prev");
  EXPECT_EQ(ScnReadP(polled.bytes), 4);
  port.send("77\r");
  ASSERT_TRUE(window.record());
  EXPECT_EQ(buf.text(), "77");
  EXPECT_EQ(ScnReadP(polled.bytes), 4);
  EXPECT_EQ(polled.text(), "prev");
}

TEST(ScanioPolling, ReadsTheFirstCodeOfAChunkAndTheLastCodeOfACall) {
  ScannerPort port;
  Buffer buf;
  CloseAtEnd close;
  EXPECT_EQ(ScnReadP(buf.bytes), -1);
  EXPECT_EQ(std::string(buf.bytes, 100), std::string(100, 'x'));
  ASSERT_EQ(ScnOpenP(12345), 1);

  port.send("111\r222\r");
  ASSERT_TRUE(port.waiting(8));
  EXPECT_EQ(ScnReadP(buf.bytes), 3);
  EXPECT_EQ(std::string(buf.bytes, 5), std::string("111\0x", 5));
  EXPECT_EQ(port.queued(), 0u);

  // Two chunks in one call: the code of the later one wins.
  port.send("A\r" + std::string(78, 'y') + "BB\r");
  ASSERT_TRUE(port.waiting(83));
  EXPECT_EQ(ScnReadP(buf.bytes), 2);
  EXPECT_EQ(buf.text(), "BB");

  // 120 characters: the first 99.
  const std::string long_code = letters(120);
  port.send(long_code);
  ASSERT_TRUE(port.waiting(120));
  EXPECT_EQ(ScnReadP(buf.bytes), 99);
  EXPECT_EQ(buf.text(), long_code.substr(0, 99));

  // CR LF: the line feed in a later call begins the next code.
  port.send("123\r");
  ASSERT_TRUE(port.waiting(4));
  EXPECT_EQ(ScnReadP(buf.bytes), 3);
  port.send("\n456\r");
  ASSERT_TRUE(port.waiting(5));
  EXPECT_EQ(ScnReadP(buf.bytes), 4);
  EXPECT_EQ(buf.text(), "\n456");
  EXPECT_EQ(ScnCloseP(), 1);
}

TEST(ScanioPolling, WithNothingFinishedTheBufferKeepsItsText) {
  ScannerPort port;
  Buffer buf;
  CloseAtEnd close;
  ASSERT_EQ(ScnOpenP(0), 1);
  std::strcpy(buf.bytes, "previous");
  EXPECT_EQ(ScnReadP(buf.bytes), 8);
  EXPECT_EQ(std::string(buf.bytes, 10), std::string("previous\0x", 10));
  buf.bytes[0] = '\0';
  EXPECT_EQ(ScnReadP(buf.bytes), 0);

  // An unfinished code is dropped at the end of the call: the carriage
  // return that follows ends an empty code.
  std::strcpy(buf.bytes, "BB");
  port.send("CCC");
  ASSERT_TRUE(port.waiting(3));
  EXPECT_EQ(ScnReadP(buf.bytes), 2);
  EXPECT_EQ(port.queued(), 0u);
  port.send("\r");
  ASSERT_TRUE(port.waiting(1));
  EXPECT_EQ(ScnReadP(buf.bytes), 0);
  EXPECT_EQ(buf.bytes[0], '\0');

  // A buffer without a NUL in its 100 bytes is never read past them.
  std::memset(buf.bytes, 'q', sizeof buf.bytes);
  EXPECT_EQ(ScnReadP(buf.bytes), 100);
  EXPECT_EQ(ScnCloseP(), 1);
  EXPECT_EQ(ScnCloseP(), 0);
  EXPECT_EQ(ScnReadP(buf.bytes), -1);
}

TEST(Scanio, ClosingBeforeOpeningAndNullBuffersKeepTheContract) {
  ScannerPort port;
  Pipe window;
  CloseAtEnd close;
  EXPECT_EQ(ScnCloseI(), 0);
  EXPECT_EQ(ScnCloseP(), 0);
  EXPECT_EQ(ScnReadP(nullptr), -1);
  // A reader with nowhere to put its codes is not started, nor the port opened.
  EXPECT_EQ(ScnOpenI(window.window(), kMessage, nullptr), 0);
  EXPECT_EQ(ScnCloseI(), 0);
  ASSERT_EQ(ScnOpenP(0), 1);
  port.send("5\r");
  ASSERT_TRUE(port.waiting(2));
  EXPECT_EQ(ScnReadP(nullptr), 0);
  EXPECT_EQ(port.queued(), 2u);  // nothing was read
  EXPECT_EQ(ScnCloseP(), 1);
}

TEST(Scanio, AMissingOrBusyPortFailsToOpen) {
  {
    testkit::ScopedEnv nowhere("PINK_COM2", "/nonexistent/tty");
    Pipe window;
    char buf[100] = {};
    EXPECT_EQ(ScnOpenI(window.window(), kMessage, buf), 0);
    EXPECT_EQ(ScnOpenP(0), 0);
    EXPECT_EQ(ScnCloseI(), 0);
    EXPECT_EQ(ScnReadP(buf), -1);
  }
  ScannerPort port;
  serialline::Line holder;
  ASSERT_TRUE(holder.open(serialline::Record{.port = 2}, {.wait_cursor = false}));
  Pipe window;
  char buf[100] = {};
  EXPECT_EQ(ScnOpenI(window.window(), kMessage, buf), 0);
  EXPECT_EQ(ScnOpenP(0), 0);
  holder.close();
  EXPECT_EQ(ScnOpenP(0), 1);
  EXPECT_EQ(ScnCloseP(), 1);
}

TEST(Scanio, TheLineIsSevenBitsOddParityWithXonXoffInBothModes) {
  ScannerPort port;
  Pipe window;
  char buf[100] = {};
  CloseAtEnd close;
  for (const bool message_mode : {true, false}) {
    port.reset_line();
    ASSERT_FALSE(port.port().line().xon_in);
    ASSERT_EQ(message_mode ? ScnOpenI(window.window(), kMessage, buf) : ScnOpenP(0), 1);
    // A pseudo-terminal keeps the parity kind and the XON/XOFF flags (it
    // cannot hold 7 data bits or the parity enable).
    const testkit::LineView v = port.port().line();
    EXPECT_EQ(v.baud, 9600u);
    EXPECT_TRUE(v.odd);
    EXPECT_FALSE(v.stick);
    EXPECT_FALSE(v.two_stop_bits);
    EXPECT_FALSE(v.rts_cts);
    EXPECT_TRUE(v.xon_out);
    EXPECT_TRUE(v.xon_in);
    EXPECT_EQ(v.xon_char, 0x11);
    EXPECT_EQ(v.xoff_char, 0x13);
    EXPECT_TRUE(v.raw);
    EXPECT_EQ(ScnCloseI(), 1);
  }
}

}  // namespace
}  // namespace pink
