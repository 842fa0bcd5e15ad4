// The serial control on virtual lines: the settings text, the exact bytes and
// line settings a program puts on the port, the failure numbers, and output
// that a purge does not lose.
#include "platform/comm.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace pink::comm {
namespace {

using testkit::ScopedEnv;
using testkit::VirtualPort;

// The failure number an action throws, or 0 when it throws none.
int failure_of(const std::function<void()>& action) {
  try {
    action();
  } catch (const Failure& f) {
    return f.number();
  }
  return 0;
}

TEST(CommSettings, ParsesTheSettingsText) {
  struct Good {
    const char* text;
    std::uint32_t baud;
    serial::Parity parity;
    int data;
    serial::StopBits stop;
  };
  using P = serial::Parity;
  using S = serial::StopBits;
  for (const Good g : {
           Good{"9600,n,8,1", 9600, P::None, 8, S::One},
           Good{"38400,E,7,2", 38400, P::Even, 7, S::Two},
           Good{"1200,o,5,1.5", 1200, P::Odd, 5, S::OneAndHalf},
           Good{"19200,M,6,1", 19200, P::Mark, 6, S::One},
           Good{"115200,s,4,2", 115200, P::Space, 4, S::Two},
           Good{" 9600 , N , 8 , 1 ", 9600, P::None, 8, S::One},
       }) {
    Settings s;
    ASSERT_TRUE(parse_settings(g.text, s)) << g.text;
    EXPECT_EQ(s.baud, g.baud) << g.text;
    EXPECT_EQ(s.parity, g.parity) << g.text;
    EXPECT_EQ(s.data_bits, g.data) << g.text;
    EXPECT_EQ(s.stop_bits, g.stop) << g.text;
  }

  for (const char* bad : {"", "9600,n,8", "9600,n,8,1,1", "9600,x,8,1", "9600,nn,8,1", "9600,n,3,1",
                          "9600,n,9,1", "9600,n,08,1", "9600,n,8,0", "9600,n,8,1.0", "0,n,8,1", "96OO,n,8,1",
                          "-9600,n,8,1", "9999999999,n,8,1", "9600;n;8;1"}) {
    Settings s;
    s.baud = 4242;
    EXPECT_FALSE(parse_settings(bad, s)) << bad;
    EXPECT_EQ(s.baud, 4242u) << bad;
  }
}

TEST(CommControl, SendsExactBytesAtTheLineSettings) {
  VirtualPort vp(50);
  CommControl c;
  c.set_comm_port(50);
  c.set_settings("38400,e,7,2");
  c.set_out_buffer_size(512);
  c.set_port_open(true);
  ASSERT_TRUE(c.port_open());
  c.set_out_buffer_count(0);
  auto seen = vp.line();
  EXPECT_EQ(seen.baud, 38400u);
  EXPECT_TRUE(seen.two_stop_bits);
  EXPECT_FALSE(seen.odd);
  EXPECT_FALSE(seen.stick);
  EXPECT_FALSE(seen.rts_cts);  // no flow control
  EXPECT_FALSE(seen.xon_out);
  EXPECT_FALSE(seen.xon_in);
  EXPECT_TRUE(seen.raw);

  const std::string bytes("ORDER\r\n\x1bp\x00@P\xb0\xa1\xff", 14);
  c.output(bytes);
  EXPECT_EQ(vp.read_exact(bytes.size(), 5000), bytes);

  // Settings change at once while the port is open.
  struct Case {
    const char* text;
    std::uint32_t baud;
    bool odd, stick, two_stop;
  };
  for (const Case k : {Case{"1200,m,8,1", 1200, true, true, false}, Case{"1200,S,8,1", 1200, false, true, false},
                       Case{"4800,O,8,2", 4800, true, false, true}, Case{"9600,n,8,1", 9600, false, false, false}}) {
    c.set_settings(k.text);
    EXPECT_EQ(c.settings(), k.text);
    seen = vp.line();
    EXPECT_EQ(seen.baud, k.baud) << k.text;
    EXPECT_EQ(seen.odd, k.odd) << k.text;
    EXPECT_EQ(seen.stick, k.stick) << k.text;
    EXPECT_EQ(seen.two_stop_bits, k.two_stop) << k.text;
  }
  c.output("at 9600");
  EXPECT_EQ(vp.read_exact(7, 5000), "at 9600");
  c.set_port_open(false);
  EXPECT_FALSE(c.port_open());
}

TEST(CommControl, FailuresCarryTheirNumbers) {
  VirtualPort vp(51);
  ScopedEnv nowhere("PINK_COM52", "/nonexistent/pink/tty52");

  CommControl missing;
  missing.set_comm_port(52);
  EXPECT_EQ(failure_of([&] { missing.set_port_open(true); }), 8002);
  EXPECT_FALSE(missing.port_open());
  EXPECT_EQ(failure_of([&] { missing.set_comm_port(0); }), 8002);
  EXPECT_EQ(failure_of([&] { missing.set_comm_port(256); }), 8002);
  EXPECT_EQ(missing.comm_port(), 52);

  // A closed port: 8018 for what needs it open, 380 for values out of range.
  CommControl c;
  c.set_comm_port(51);
  EXPECT_EQ(failure_of([&] { c.output("X"); }), 8018);
  EXPECT_EQ(failure_of([&] { c.input(); }), 8018);
  EXPECT_EQ(failure_of([&] { c.out_buffer_count(); }), 8018);
  EXPECT_EQ(failure_of([&] { c.set_in_buffer_count(0); }), 8018);
  EXPECT_EQ(failure_of([&] { c.set_in_buffer_size(0); }), 380);
  EXPECT_EQ(failure_of([&] { c.set_input_len(-1); }), 380);

  // Settings the port cannot take: 8015 and the port stays free; one and a
  // half stop bits exist with five data bits only.
  c.set_settings("9600,n,8,1.5");
  EXPECT_EQ(failure_of([&] { c.set_port_open(true); }), 8015);
  EXPECT_FALSE(c.port_open());
  c.set_settings("9600,n,5,1.5");
  c.set_port_open(true);
  c.set_settings("9600,n,8,1");
  EXPECT_EQ(failure_of([&] { c.set_out_buffer_count(1); }), 380);

  // Held: a second open is refused with 8005; what needs the port closed, 8000.
  CommControl other;
  other.set_comm_port(51);
  EXPECT_EQ(failure_of([&] { other.set_port_open(true); }), 8005);
  EXPECT_FALSE(other.port_open());
  EXPECT_EQ(failure_of([&] { c.set_port_open(true); }), 8005);
  EXPECT_EQ(failure_of([&] { c.set_comm_port(3); }), 8000);
  EXPECT_EQ(failure_of([&] { c.set_out_buffer_size(2048); }), 8000);
  EXPECT_EQ(c.comm_port(), 51);

  // Refused or unparsable settings leave the settings and the line alone.
  EXPECT_EQ(failure_of([&] { c.set_settings("9600,n,4,1"); }), 8015);
  EXPECT_EQ(failure_of([&] { c.set_settings("14400,n,8,1"); }), 8015);
  EXPECT_EQ(failure_of([&] { c.set_settings("9600,q,8,1"); }), 380);
  EXPECT_EQ(c.settings(), "9600,n,8,1");
  EXPECT_EQ(vp.line().baud, 9600u);

  // Closing (also by destruction) frees the port for the next control.
  c.set_port_open(false);
  c.set_port_open(false);  // closing a closed port does nothing
  EXPECT_EQ(failure_of([&] { c.output("X"); }), 8018);
  {
    CommControl scoped;
    scoped.set_comm_port(51);
    scoped.set_port_open(true);
  }
  other.set_port_open(true);
  EXPECT_TRUE(other.port_open());
  EXPECT_EQ(vp.read_for(50, 200), "");
}

TEST(CommControl, OutputThenOutBufferCountZeroLosesNoByte) {
  VirtualPort vp(54);
  std::string expected;
  {
    CommControl c;
    c.set_comm_port(54);
    c.set_settings("9600,n,8,1");
    c.set_port_open(true);
    c.set_out_buffer_count(0);
    for (int i = 0; i < 20; ++i) {
      const std::string line = "LINE " + std::to_string(i) + std::string("\0\xff\r\n", 4);
      c.output(line);
      expected += line;
      c.set_out_buffer_count(0);
    }
    // The spoolers close without waiting for the buffer to drain.
    c.set_port_open(false);
  }
  // The reader comes late, after the port was purged and closed.
  EXPECT_EQ(vp.read_exact(expected.size(), 5000), expected);
  EXPECT_EQ(vp.pending(), 0u);
}

TEST(CommControl, InputTakesWhatWaitsAndTheReceiveEventFollowsTheThreshold) {
  VirtualPort vp(55);
  CommControl c;
  std::vector<int> events;
  c.on_comm([&](int e) { events.push_back(e); });
  c.set_comm_port(55);
  c.set_port_open(true);
  EXPECT_EQ(c.input(), "");  // nothing waits: at once, empty

  c.set_rthreshold(12);
  vp.write(std::string("HELLO\0WORLD", 11));
  ASSERT_TRUE(testkit::wait_until([&] { return c.in_buffer_count() == 11; }, 5000));
  c.poll_events();  // eleven bytes wait, twelve needed
  EXPECT_TRUE(events.empty());
  vp.write("!");
  ASSERT_TRUE(testkit::wait_until([&] { return c.in_buffer_count() == 12; }, 5000));
  c.poll_events();
  EXPECT_EQ(events, std::vector<int>{kEvReceive});

  c.set_input_len(4);
  EXPECT_EQ(c.input(), "HELL");
  EXPECT_EQ(c.in_buffer_count(), 8);
  c.set_in_buffer_count(0);  // the input purge
  EXPECT_EQ(c.input(), "");
}

}  // namespace
}  // namespace pink::comm
