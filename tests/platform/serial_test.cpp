// The serial port on virtual lines: exclusive open, line settings as the
// device sees them, writes that survive an output purge, read time-outs and
// receive events.
#include "platform/serial.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace pink::serial {
namespace {

using testkit::ScopedEnv;
using testkit::VirtualPort;
using namespace std::chrono_literals;

std::unique_ptr<Port> open_ok(const std::string& name) {
  OpenResult r = open(name);
  EXPECT_EQ(r.status, OpenStatus::Ok) << r.text;
  return std::move(r.port);
}

std::string read_string(Port& port, std::size_t n) {
  std::string buf(n, '\0');
  const long got = port.read(std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(buf.data()), n));
  if (got < 0) return "<failed>";
  buf.resize(static_cast<std::size_t>(got));
  return buf;
}

TEST(SerialPort, NamesAndMissingDevices) {
  const std::pair<const char*, int> numbers[] = {{"COM1", 1},  {"com7", 7},  {"Com256", 256}, {"COM257", 0},
                                                 {"COM0", 0},  {"COM07", 0}, {"COM1x", 0},    {"LPT1", 0}};
  for (const auto& [name, number] : numbers) EXPECT_EQ(port_number(name), number) << name;
  {
    ScopedEnv unset("PINK_COM40", std::nullopt);
    EXPECT_EQ(device_path("COM40"), "/dev/ttyS39");
  }
  ScopedEnv nowhere("PINK_COM40", "/nonexistent/pink/tty40");
  EXPECT_EQ(device_path("com40"), "/nonexistent/pink/tty40");
  for (const char* name : {"COM40", "LPT1", "COM0"}) EXPECT_EQ(open(name).status, OpenStatus::NoSuchPort) << name;

  // A file that is not a serial device is no port either.
  testkit::TempDir dir;
  dir.write("plain", "x");
  ScopedEnv plain("PINK_COM41", dir.file("plain"));
  OpenResult r = open("COM41");
  EXPECT_EQ(r.status, OpenStatus::NoSuchPort);
  EXPECT_FALSE(r.port);
  EXPECT_FALSE(r.text.empty());
}

// The parity kinds reach the line through the comm control's settings text
// (comm_test); here the rest of the line settings.
TEST(SerialPort, LineSettingsReachTheLine) {
  VirtualPort vp(43);
  auto port = open_ok("COM43");
  ASSERT_TRUE(port);
  LineSettings line;
  line.baud = 115200;
  line.stop_bits = StopBits::Two;
  line.cts_flow = line.xon_xoff_out = line.xon_xoff_in = true;
  ASSERT_TRUE(port->set_line(line));
  const auto seen = vp.line();
  EXPECT_EQ(seen.baud, 115200u);
  EXPECT_TRUE(seen.two_stop_bits && seen.rts_cts && seen.xon_out && seen.xon_in && seen.raw);

  // One and a half stop bits go with five data bits only.
  LineSettings five = line;
  five.data_bits = 5;
  five.stop_bits = StopBits::OneAndHalf;
  ASSERT_TRUE(port->set_line(five));
  // Refused settings leave the line as it was.
  line.stop_bits = StopBits::OneAndHalf;
  EXPECT_FALSE(port->set_line(line));
  line.stop_bits = StopBits::One;
  line.baud = 14400;
  EXPECT_FALSE(port->set_line(line));
  line.baud = 9600;
  line.data_bits = 4;
  EXPECT_FALSE(port->set_line(line));
  line.data_bits = 8;
  line.dsr_flow = true;
  EXPECT_FALSE(port->set_line(line));
  EXPECT_EQ(vp.line().baud, 115200u);
  LineSettings now;
  ASSERT_TRUE(port->get_line(now));
  EXPECT_EQ(now.baud, 115200u);
  EXPECT_EQ(now.data_bits, 5);
  EXPECT_EQ(now.stop_bits, StopBits::OneAndHalf);
}

TEST(SerialPort, CompletedWritesSurviveAnOutputPurge) {
  VirtualPort vp(44);
  auto port = open_ok("COM44");
  ASSERT_TRUE(port);
  auto r = port->write(std::string_view("first\0\xff", 7), 2000);
  EXPECT_EQ(r.status, WriteStatus::Completed);
  EXPECT_EQ(r.written, 7u);
  EXPECT_TRUE(port->purge(kPurgeAll));
  r = port->write(std::string_view("second"), clock::kWaitForever);
  EXPECT_EQ(r.status, WriteStatus::Completed);
  EXPECT_TRUE(port->purge(kAbortTx | kClearTx));
  EXPECT_EQ(port->output_count(), 0u);
  port.reset();
  // Nobody read until now, and the port is closed already.
  EXPECT_EQ(vp.read_exact(13, 2000), std::string("first\0\xff", 7) + "second");
}

TEST(SerialPort, TimedOutWriteIsDroppedByAnOutputPurge) {
  VirtualPort vp(45);
  auto port = open_ok("COM45");
  ASSERT_TRUE(port);
  // Nobody reads: the line fills up and the write cannot finish.
  const std::string big(1 << 20, 'x');
  auto r = port->write(big, 200);
  EXPECT_EQ(r.status, WriteStatus::TimedOut);
  const std::size_t handed = r.written;
  EXPECT_GT(handed, 0u);
  EXPECT_LT(handed, big.size());
  EXPECT_TRUE(port->purge(kAbortTx | kClearTx));
  // The rest of the abandoned write never follows; the next write arrives.
  r = port->write(std::string_view("END"), 5000);
  EXPECT_EQ(r.status, WriteStatus::Completed);
  const std::string got = vp.read_for(200, 10000);
  ASSERT_GE(got.size(), 3u);
  EXPECT_LE(got.size(), handed + 3);
  EXPECT_EQ(got.substr(got.size() - 3), "END");

  // Without a wait limit, the write time-outs bound the write.
  Timeouts t;
  t.write_total_constant = 200;
  ASSERT_TRUE(port->set_timeouts(t));
  r = port->write(big, clock::kWaitForever);
  EXPECT_EQ(r.status, WriteStatus::TimedOut);
}

// Reads that take what waits at once, and the input purge, are shown through
// the comm control (comm_test); here a read bounded by its total time-out
// and a wait that a receive event ends.
TEST(SerialPort, TimeOutsBoundAReadAndAReceiveEventEndsAWait) {
  VirtualPort vp(46);
  auto port = open_ok("COM46");
  ASSERT_TRUE(port);
  Timeouts t;
  t.read_interval = 0;
  t.read_total_constant = 200;
  ASSERT_TRUE(port->set_timeouts(t));
  vp.write("xyz");
  EXPECT_EQ(read_string(*port, 10), "xyz");
  EXPECT_EQ(read_string(*port, 10), "");

  ASSERT_TRUE(port->set_event_mask(kEventRxChar));
  EXPECT_EQ(port->wait_event(50), 0u);
  std::jthread writer([&] {
    std::this_thread::sleep_for(50ms);
    vp.write("R");
  });
  EXPECT_EQ(port->wait_event(clock::kWaitForever), kEventRxChar);
}

}  // namespace
}  // namespace pink::serial
