// The serial port on virtual lines: exclusive open, line settings as the
// device sees them, writes that survive an output purge, read time-outs and
// receive events.
#include "platform/serial.h"

#include <gtest/gtest.h>

#include <atomic>
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
  EXPECT_EQ(port_number("COM1"), 1);
  EXPECT_EQ(port_number("com7"), 7);
  EXPECT_EQ(port_number("Com256"), 256);
  EXPECT_EQ(port_number("COM257"), 0);
  EXPECT_EQ(port_number("COM0"), 0);
  EXPECT_EQ(port_number("COM07"), 0);
  EXPECT_EQ(port_number("COM1x"), 0);
  EXPECT_EQ(port_number("COM"), 0);
  EXPECT_EQ(port_number("LPT1"), 0);

  {
    ScopedEnv unset("PINK_COM40", std::nullopt);
    EXPECT_EQ(device_path("COM40"), "/dev/ttyS39");
  }
  ScopedEnv nowhere("PINK_COM40", "/nonexistent/pink/tty40");
  EXPECT_EQ(device_path("com40"), "/nonexistent/pink/tty40");
  EXPECT_EQ(open("COM40").status, OpenStatus::NoSuchPort);
  EXPECT_EQ(open("LPT1").status, OpenStatus::NoSuchPort);
  EXPECT_EQ(open("COM0").status, OpenStatus::NoSuchPort);

  // A file that is not a serial device is no port either.
  testkit::TempDir dir;
  dir.write("plain", "x");
  ScopedEnv plain("PINK_COM41", dir.file("plain"));
  OpenResult r = open("COM41");
  EXPECT_EQ(r.status, OpenStatus::NoSuchPort);
  EXPECT_FALSE(r.port);
  EXPECT_FALSE(r.text.empty());
}

TEST(SerialPort, ExclusiveUntilClosed) {
  VirtualPort line(42);
  auto first = open_ok("COM42");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->name(), "COM42");

  OpenResult second = open("com42");
  EXPECT_EQ(second.status, OpenStatus::InUse);
  EXPECT_FALSE(second.port);

  first.reset();
  auto again = open_ok("COM42");
  EXPECT_TRUE(again);
}

TEST(SerialPort, LineSettingsReachTheLine) {
  VirtualPort vp(43);
  auto port = open_ok("COM43");
  ASSERT_TRUE(port);
  EXPECT_TRUE(vp.line().raw);

  LineSettings line;
  line.baud = 38400;
  line.parity = Parity::Even;
  line.data_bits = 7;
  line.stop_bits = StopBits::Two;
  ASSERT_TRUE(port->set_line(line));
  auto seen = vp.line();
  EXPECT_EQ(seen.baud, 38400u);
  EXPECT_TRUE(seen.two_stop_bits);
  EXPECT_FALSE(seen.odd);
  EXPECT_FALSE(seen.stick);
  EXPECT_FALSE(seen.rts_cts);
  EXPECT_FALSE(seen.xon_out);
  EXPECT_TRUE(seen.raw);

  struct Case {
    Parity parity;
    bool odd, stick;
  };
  for (const Case c : {Case{Parity::Odd, true, false}, Case{Parity::Mark, true, true},
                       Case{Parity::Space, false, true}, Case{Parity::None, false, false}}) {
    line.parity = c.parity;
    ASSERT_TRUE(port->set_line(line));
    seen = vp.line();
    EXPECT_EQ(seen.odd, c.odd) << static_cast<int>(c.parity);
    EXPECT_EQ(seen.stick, c.stick) << static_cast<int>(c.parity);
  }

  line = LineSettings{};
  line.baud = 115200;
  line.cts_flow = true;
  line.xon_xoff_out = true;
  line.xon_xoff_in = true;
  line.xon_char = 0x11;
  line.xoff_char = 0x13;
  ASSERT_TRUE(port->set_line(line));
  seen = vp.line();
  EXPECT_EQ(seen.baud, 115200u);
  EXPECT_FALSE(seen.two_stop_bits);
  EXPECT_TRUE(seen.rts_cts);
  EXPECT_TRUE(seen.xon_out);
  EXPECT_TRUE(seen.xon_in);
  EXPECT_EQ(seen.xon_char, 0x11);
  EXPECT_EQ(seen.xoff_char, 0x13);

  // One and a half stop bits go with five data bits only.
  LineSettings five = line;
  five.data_bits = 5;
  five.stop_bits = StopBits::OneAndHalf;
  five.cts_flow = false;
  ASSERT_TRUE(port->set_line(five));
  EXPECT_TRUE(vp.line().two_stop_bits);
  ASSERT_TRUE(port->set_line(line));

  // Refused settings leave the line as it was.
  LineSettings bad = line;
  bad.baud = 14400;
  EXPECT_FALSE(port->set_line(bad));
  bad = line;
  bad.data_bits = 4;
  EXPECT_FALSE(port->set_line(bad));
  bad = line;
  bad.stop_bits = StopBits::OneAndHalf;
  EXPECT_FALSE(port->set_line(bad));
  bad = line;
  bad.data_bits = 5;
  bad.stop_bits = StopBits::Two;
  EXPECT_FALSE(port->set_line(bad));
  bad = line;
  bad.dsr_flow = true;
  EXPECT_FALSE(port->set_line(bad));
  seen = vp.line();
  EXPECT_EQ(seen.baud, 115200u);
  EXPECT_TRUE(seen.rts_cts);
  LineSettings now;
  ASSERT_TRUE(port->get_line(now));
  EXPECT_EQ(now.baud, 115200u);
  EXPECT_EQ(now.data_bits, 8);
  EXPECT_TRUE(now.cts_flow);
}

TEST(SerialPort, CompletedWritesSurviveAnOutputPurge) {
  VirtualPort vp(44);
  auto port = open_ok("COM44");
  ASSERT_TRUE(port);
  auto r = port->write(std::string_view("first\0\xff", 7), 2000);
  EXPECT_EQ(r.status, WriteStatus::Completed);
  EXPECT_EQ(r.written, 7u);
  EXPECT_TRUE(port->purge(kPurgeAll));
  r = port->write(std::string_view("second"), Timeouts::kMaxWait);
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
  r = port->write(big, Timeouts::kMaxWait);
  EXPECT_EQ(r.status, WriteStatus::TimedOut);
}

TEST(SerialPort, ReadFollowsTheTimeouts) {
  VirtualPort vp(46);
  auto port = open_ok("COM46");
  ASSERT_TRUE(port);

  // Interval "max" with no totals: what is waiting, at once.
  Timeouts t;
  ASSERT_TRUE(port->set_timeouts(t));
  EXPECT_EQ(read_string(*port, 10), "");
  vp.write("abc");
  ASSERT_TRUE(testkit::wait_until([&] { return port->input_count() == 3; }, 5000));
  EXPECT_EQ(read_string(*port, 10), "abc");

  // Interval "max" with a total: the first byte ends the wait.
  t.read_total_constant = 20000;
  ASSERT_TRUE(port->set_timeouts(t));
  {
    std::thread late([&] {
      std::this_thread::sleep_for(100ms);
      vp.write("Q");
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(read_string(*port, 10), "Q");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    late.join();
  }

  // A total time-out ends a read that cannot be filled.
  t = Timeouts{};
  t.read_interval = 0;
  t.read_total_constant = 200;
  ASSERT_TRUE(port->set_timeouts(t));
  vp.write("xyz");
  EXPECT_EQ(read_string(*port, 10), "xyz");
  EXPECT_EQ(read_string(*port, 10), "");

  // No time-outs at all: the read waits until the buffer is full.
  t = Timeouts{};
  t.read_interval = 0;
  ASSERT_TRUE(port->set_timeouts(t));
  {
    std::thread writer([&] {
      vp.write("ab");
      std::this_thread::sleep_for(100ms);
      vp.write("cde");
    });
    EXPECT_EQ(read_string(*port, 5), "abcde");
    writer.join();
  }

  // An interval time-out ends the read at a gap between bytes.
  t.read_interval = 100;
  ASSERT_TRUE(port->set_timeouts(t));
  {
    std::thread writer([&] {
      vp.write("12");
      std::this_thread::sleep_for(1500ms);
      vp.write("34");
    });
    EXPECT_EQ(read_string(*port, 4), "12");
    writer.join();
  }
  EXPECT_EQ(read_string(*port, 4), "34");

  // An input purge drops what waits.
  vp.write("junk");
  ASSERT_TRUE(testkit::wait_until([&] { return port->input_count() == 4; }, 5000));
  EXPECT_TRUE(port->purge(kAbortRx | kClearRx));
  EXPECT_EQ(port->input_count(), 0u);
  t = Timeouts{};
  ASSERT_TRUE(port->set_timeouts(t));
  EXPECT_EQ(read_string(*port, 4), "");
}

TEST(SerialPort, WaitEventEndsOnDataAndOnMaskChange) {
  VirtualPort vp(47);
  auto port = open_ok("COM47");
  ASSERT_TRUE(port);
  ASSERT_TRUE(port->set_event_mask(kEventRxChar));
  EXPECT_EQ(port->event_mask(), kEventRxChar);
  EXPECT_EQ(port->wait_event(50), 0u);  // nothing arrives: time-out

  // The mask change made before this wait does not end it; the byte does.
  {
    std::thread writer([&] {
      std::this_thread::sleep_for(50ms);
      vp.write("R");
    });
    EXPECT_EQ(port->wait_event(Timeouts::kMaxWait), kEventRxChar);
    writer.join();
  }
  EXPECT_EQ(read_string(*port, 8), "R");

  // A watch thread blocked without limit is released by a mask change.
  std::atomic<bool> done{false};
  std::atomic<std::uint32_t> events{0xFFFFFFFF};
  std::thread watcher([&] {
    events = port->wait_event(Timeouts::kMaxWait);
    done = true;
  });
  // Changing the mask before the watcher is waiting would not end its wait,
  // so keep changing it until the watcher is released.
  const bool released = testkit::wait_until(
      [&] {
        if (!done) port->set_event_mask(kEventNone);
        return done.load();
      },
      10000);
  if (!released) vp.write("!");  // let the watcher go before failing
  watcher.join();
  EXPECT_TRUE(released);
  EXPECT_EQ(events.load(), 0u);
  EXPECT_EQ(port->event_mask(), kEventNone);
}

}  // namespace
}  // namespace pink::serial
