// The serial port on the Win32 comm functions, on a line whose other end
// the running test plays (serial_peer.h): one holder at a time, line
// settings as the line sees them, writes that survive output purges and a
// close, a write that cannot finish and its purge, read time-outs and
// receive events.
#include "platform/serial.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>

#include "tests/win/platform/serial_peer.h"

namespace pink::serial {
namespace {

using wintest::ask_peer;
using wintest::read_for;
using wintest::test_port;

std::unique_ptr<Port> open_ok(const std::string& name) {
  OpenResult r = open(name);
  EXPECT_EQ(r.status, OpenStatus::Ok) << r.text;
  return std::move(r.port);
}

// A second open of a held port is refused by the Windows serial driver
// itself; Wine lets it through (it keeps no sharing rules for character
// devices), so that is not shown here.
TEST(Serial, NamesAndMissingPorts) {
  PINK_REQUIRE_GIVEN("PINK_TEST_COM");
  EXPECT_EQ(device_path("com40"), "\\\\.\\COM40");
  EXPECT_EQ(device_path("LPT1"), "");
  for (const char* name : {"COM250", "LPT1", "COM0"}) EXPECT_EQ(open(name).status, OpenStatus::NoSuchPort) << name;

  auto lower = test_port();
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
  auto port = open_ok(lower);
  ASSERT_TRUE(port);
  EXPECT_EQ(port->name(), test_port());
  port.reset();
  EXPECT_TRUE(open_ok(test_port()));
}

TEST(Serial, LineSettingsReachTheLine) {
  PINK_REQUIRE_GIVEN("PINK_TEST_COM");
  auto port = open_ok(test_port());
  ASSERT_TRUE(port);
  LineSettings line;
  line.baud = 115200;
  line.stop_bits = StopBits::Two;
  line.xon_xoff_out = line.xon_xoff_in = true;
  ASSERT_TRUE(port->set_line(line));
  LineSettings back;
  ASSERT_TRUE(port->get_line(back));
  EXPECT_EQ(back.baud, 115200u);
  EXPECT_EQ(back.stop_bits, StopBits::Two);
  EXPECT_TRUE(back.xon_xoff_out && back.xon_xoff_in);
  ask_peer("line");
  EXPECT_EQ(read_for(*port, 200, 10000, '\n'), "baud=115200 stop2=1 rtscts=0 xon=1 xoff=1\n");

  // A rate the port does not take is refused and the line stays as it was.
  LineSettings odd = line;
  odd.baud = 12345;
  EXPECT_FALSE(port->set_line(odd));
  line.baud = 19200;
  line.stop_bits = StopBits::One;
  line.xon_xoff_out = line.xon_xoff_in = false;
  ASSERT_TRUE(port->set_line(line));
  ask_peer("line");
  EXPECT_EQ(read_for(*port, 200, 10000, '\n'), "baud=19200 stop2=0 rtscts=0 xon=0 xoff=0\n");
}

// What a receipt does: small writes (a bit image byte by byte), each
// followed by a purge of both directions, then the close; nobody reads until
// the port is closed.
TEST(Serial, CompletedWritesSurviveOutputPurgesAndTheClose) {
  PINK_REQUIRE_GIVEN("PINK_TEST_COM");
  std::string sent;
  {
    auto port = open_ok(test_port());
    ASSERT_TRUE(port);
    auto r = port->write(std::string_view("first\0\xff", 7), 2000);
    EXPECT_EQ(r.status, WriteStatus::Completed);
    EXPECT_EQ(r.written, 7u);
    sent += std::string("first\0\xff", 7);
    EXPECT_TRUE(port->purge(kPurgeAll));
    for (int chunk = 0; chunk < 40; ++chunk) {
      std::string bytes(64, '\0');
      for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(chunk * 64 + i);
      r = port->write(bytes, 1000);
      ASSERT_EQ(r.status, WriteStatus::Completed) << chunk;
      EXPECT_TRUE(port->purge(kPurgeAll));
      sent += bytes;
    }
    // A bit image goes out one byte per write, each followed by a purge.
    for (int i = 0; i < 1024; ++i) {
      const std::string one(1, static_cast<char>(i * 7));
      r = port->write(one, 1000);
      ASSERT_EQ(r.status, WriteStatus::Completed) << i;
      EXPECT_TRUE(port->purge(kPurgeAll));
      sent += one;
    }
    r = port->write(std::string_view("last"), clock::kWaitForever);
    EXPECT_EQ(r.status, WriteStatus::Completed);
    EXPECT_TRUE(port->purge(kAbortTx | kClearTx));
    sent += "last";
    EXPECT_EQ(port->output_count(), 0u);
  }
  auto port = open_ok(test_port());
  ASSERT_TRUE(port);
  ask_peer("echo " + std::to_string(sent.size()));
  const std::string back = read_for(*port, sent.size(), 15000);
  EXPECT_EQ(back.size(), sent.size());
  EXPECT_TRUE(back == sent) << "the bytes differ";
}

TEST(Serial, AWriteThatCannotFinishIsDroppedByAnOutputPurge) {
  PINK_REQUIRE_GIVEN("PINK_TEST_COM");
  auto port = open_ok(test_port());
  ASSERT_TRUE(port);
  // Nobody reads: the line fills up and the write cannot finish.
  const std::string big(1 << 20, 'x');
  auto r = port->write(big, 300);
  EXPECT_EQ(r.status, WriteStatus::TimedOut);
  EXPECT_TRUE(port->purge(kAbortTx | kClearTx));
  // The rest of the abandoned write never follows; the next write arrives
  // whole and the other end reads it last.
  r = port->write(std::string_view("END"), 5000);
  EXPECT_EQ(r.status, WriteStatus::Completed);
  port.reset();
  port = open_ok(test_port());
  ASSERT_TRUE(port);
  ask_peer("echo-tail 3");
  EXPECT_EQ(read_for(*port, 3, 15000), "END");
}

TEST(Serial, TimeOutsBoundAReadAndAReceiveEventEndsAWait) {
  PINK_REQUIRE_GIVEN("PINK_TEST_COM");
  auto port = open_ok(test_port());
  ASSERT_TRUE(port);
  Timeouts t;
  t.read_interval = 0;
  t.read_total_constant = 300;
  ASSERT_TRUE(port->set_timeouts(t));
  ASSERT_TRUE(port->set_event_mask(kEventRxChar));
  ask_peer("send " + wintest::hex("xyz"));
  EXPECT_EQ(port->wait_event(10000), kEventRxChar);
  Sleep(100);
  EXPECT_EQ(port->input_count(), 3u);
  std::uint8_t buf[10];
  EXPECT_EQ(port->read(buf), 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 3), "xyz");
  // Nothing comes: the read ends after its total time-out with nothing.
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(port->read(buf), 0);
  const ULONGLONG took = GetTickCount64() - start;
  EXPECT_GE(took, 250u);
  EXPECT_LT(took, 5000u);

  EXPECT_EQ(port->wait_event(50), 0u);
  ask_peer("send 52");
  EXPECT_EQ(port->wait_event(clock::kWaitForever), kEventRxChar);
  // Changing the mask ends a wait on another thread, which reports nothing.
  std::uint32_t seen = 12345;
  std::thread waiter([&] { seen = port->wait_event(clock::kWaitForever); });
  Sleep(200);
  port->purge(kPurgeAll);
  port->set_event_mask(kEventRxChar);
  waiter.join();
  EXPECT_NE(seen, 12345u);
}

}  // namespace
}  // namespace pink::serial
