// The serial line of the display and scanner drivers: the line state built
// from the record, and the open sequence, writes and reads on a virtual port.
#include "serialline/serialline.h"

#include <gtest/gtest.h>

#include <string>

#include "tools/testkit/vport.h"

namespace pink {
namespace {

using serialline::Line;
using serialline::Record;

std::span<const std::uint8_t> bytes_of(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

constexpr Record kDisplay{.port = 4, .baud = 9600, .data_bits = 8, .parity = 0, .stop_bits = 0,
                          .flow = serialline::kFlowXonXoff};
constexpr Record kScanner{.port = 2, .baud = 9600, .data_bits = 7, .parity = 1, .stop_bits = 0,
                          .flow = serialline::kFlowXonXoff};

TEST(SerialLineState, TakesTheRecordOverWhatTheDriverReportsAndMapsTheSelector) {
  serial::LineSettings reported;
  reported.baud = 115200;
  reported.data_bits = 8;
  reported.xon_char = 0x21;
  reported.xon_limit = 2048;
  reported.cts_flow = true;
  reported.dtr_on = false;

  const serial::LineSettings s = serialline::line_state(reported, kScanner);
  EXPECT_EQ(s.baud, 9600u);
  EXPECT_EQ(s.data_bits, 7);
  EXPECT_EQ(s.parity, serial::Parity::Odd);
  EXPECT_EQ(s.stop_bits, serial::StopBits::One);
  EXPECT_TRUE(s.parity_check);
  EXPECT_TRUE(s.xon_xoff_out);
  EXPECT_TRUE(s.xon_xoff_in);
  EXPECT_FALSE(s.cts_flow);  // no RTS/CTS asked for: off, with RTS raised
  EXPECT_TRUE(s.rts_on);
  EXPECT_FALSE(s.dsr_flow);
  EXPECT_TRUE(s.dtr_on);
  EXPECT_EQ(s.xon_char, 0x11);
  EXPECT_EQ(s.xoff_char, 0x13);
  EXPECT_EQ(s.xon_limit, 100);
  EXPECT_EQ(s.xoff_limit, 100);

  Record handshakes = kDisplay;
  handshakes.flow = serialline::kFlowDtrDsr | serialline::kFlowRtsCts;
  const serial::LineSettings h = serialline::line_state(reported, handshakes);
  EXPECT_TRUE(h.dsr_flow);
  EXPECT_TRUE(h.cts_flow);
  EXPECT_FALSE(h.xon_xoff_out);
  EXPECT_FALSE(h.xon_xoff_in);
  EXPECT_EQ(h.parity, serial::Parity::None);
  EXPECT_EQ(h.data_bits, 8);
}

TEST(SerialLineState, WriteTimeOutFollowsTheRateAndReadsWaitASecondAtMost) {
  EXPECT_EQ(serialline::port_name(kDisplay), "COM4");
  EXPECT_EQ(serialline::port_name(Record{.port = 16}), "COM16");
  const serial::Timeouts t = serialline::timeouts_for(kDisplay);
  EXPECT_EQ(t.read_interval, clock::kWaitForever);
  EXPECT_EQ(t.read_total_multiplier, 0u);
  EXPECT_EQ(t.read_total_constant, 1000u);
  EXPECT_EQ(t.write_total_multiplier, 2u);
  EXPECT_EQ(t.write_total_constant, 0u);
  EXPECT_EQ(serialline::timeouts_for(Record{.baud = 19200}).write_total_multiplier, 1u);
  EXPECT_EQ(serialline::timeouts_for(Record{.baud = 0}).write_total_multiplier, 0u);
}

TEST(SerialLine, OpensWithTheRecordsLineWritesAndReadsInChunks) {
  testkit::VirtualPort vp(4);
  Line line;
  ASSERT_TRUE(line.open(kDisplay)) << line.last_error();
  ASSERT_TRUE(line.is_open());
  const testkit::LineView v = vp.line();
  EXPECT_EQ(v.baud, 9600u);
  EXPECT_TRUE(v.xon_out);
  EXPECT_TRUE(v.xon_in);
  EXPECT_FALSE(v.rts_cts);
  EXPECT_FALSE(v.two_stop_bits);
  EXPECT_EQ(v.xon_char, 0x11);
  EXPECT_EQ(v.xoff_char, 0x13);
  EXPECT_TRUE(v.raw);
  EXPECT_EQ(line.port()->event_mask(), serial::kEventRxChar);

  EXPECT_TRUE(line.write(bytes_of(std::string("\x1bl\x01\x02" "ABC", 7))));
  EXPECT_EQ(vp.read_exact(7, 2000), std::string("\x1bl\x01\x02" "ABC", 7));

  // Nothing waiting: an empty chunk at once.
  std::uint8_t chunk[80];
  EXPECT_EQ(line.read_chunk(chunk), 0u);
  const std::string burst(100, 'x');
  vp.write(burst);
  ASSERT_TRUE(testkit::wait_until([&] { return line.port()->input_count() == 100; }, 2000));
  EXPECT_EQ(line.read_chunk(chunk), 80u);
  EXPECT_EQ(line.read_chunk(chunk), 20u);
  EXPECT_EQ(line.read_chunk(chunk), 0u);

  line.close();
  EXPECT_FALSE(line.is_open());
  EXPECT_FALSE(line.write(bytes_of("late")));
  EXPECT_EQ(line.read_chunk(chunk), 0u);
  line.close();  // closing a closed line does nothing
}

TEST(SerialLine, ScannerLineIsSevenBitsOddParityWithXonXoff) {
  testkit::VirtualPort vp(2);
  Line line;
  ASSERT_TRUE(line.open(kScanner, {.wait_cursor = false})) << line.last_error();
  // A pseudo-terminal keeps the parity kind and the XON/XOFF flags as set
  // (it cannot hold 7 data bits or the parity enable); what the line asked
  // for is checked on the record above.
  const testkit::LineView v = vp.line();
  EXPECT_EQ(v.baud, 9600u);
  EXPECT_TRUE(v.odd);
  EXPECT_FALSE(v.stick);
  EXPECT_TRUE(v.xon_out);
  EXPECT_TRUE(v.xon_in);
}

TEST(SerialLine, AMissingOrBusyPortFailsAndLeavesTheLineClosed) {
  Line line;
  testkit::ScopedEnv nowhere("PINK_COM9", "/nonexistent/tty");
  EXPECT_FALSE(line.open(Record{.port = 9}));
  EXPECT_FALSE(line.is_open());
  EXPECT_NE(line.last_error().find("/nonexistent/tty"), std::string::npos) << line.last_error();

  testkit::VirtualPort vp(5);
  Line first, second;
  ASSERT_TRUE(first.open(Record{.port = 5}));
  EXPECT_FALSE(second.open(Record{.port = 5}));
  EXPECT_FALSE(second.is_open());
  first.close();
  EXPECT_TRUE(second.open(Record{.port = 5})) << second.last_error();
}

TEST(SerialLine, ARateThePortCannotRunIsRefusedAndThePortReleased) {
  testkit::VirtualPort vp(6);
  Line line;
  EXPECT_FALSE(line.open(Record{.port = 6, .baud = 12345}));
  EXPECT_FALSE(line.is_open());
  Line again;
  EXPECT_TRUE(again.open(Record{.port = 6})) << again.last_error();
}

}  // namespace
}  // namespace pink
