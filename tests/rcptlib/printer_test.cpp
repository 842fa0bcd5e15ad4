// The printer connection with recording stand-ins for the serial port and the
// devices: how blocks are cut and waited for, what a failing write does, and
// which time-outs and line settings a serial open asks for.
#include "rcptlib/printer.h"

#include <gtest/gtest.h>

#include <deque>

#include "tests/rcptlib/bmp_writer.h"

namespace pink::rcptlib {
namespace {

struct SerialLog {
  std::vector<std::string> writes;
  std::vector<std::uint32_t> waits;
  std::vector<unsigned> purges;
  serial::Timeouts timeouts;
  serial::LineSettings line;
  std::deque<serial::WriteStatus> results;  // scripted results, Completed when empty
};

class FakePort final : public serial::Port {
 public:
  explicit FakePort(SerialLog& log) : Port("COM1"), log_(log) {}
  bool set_queues(std::uint32_t, std::uint32_t) override { return true; }
  bool get_line(serial::LineSettings& out) override {
    out = log_.line;
    return true;
  }
  bool set_line(const serial::LineSettings& line) override {
    log_.line = line;
    return true;
  }
  bool set_timeouts(const serial::Timeouts& t) override {
    log_.timeouts = t;
    return true;
  }
  const serial::Timeouts& timeouts() const override { return log_.timeouts; }
  bool purge(unsigned flags) override {
    log_.purges.push_back(flags);
    return true;
  }
  serial::WriteResult write(std::span<const std::uint8_t> b, std::uint32_t wait_ms) override {
    log_.writes.emplace_back(b.begin(), b.end());
    log_.waits.push_back(wait_ms);
    serial::WriteStatus s = serial::WriteStatus::Completed;
    if (!log_.results.empty()) {
      s = log_.results.front();
      log_.results.pop_front();
    }
    return {s, s == serial::WriteStatus::Completed ? b.size() : 0};
  }
  using Port::write;
  long read(std::span<std::uint8_t>) override { return 0; }
  std::uint32_t input_count() override { return 0; }
  std::uint32_t output_count() override { return 0; }
  bool set_event_mask(std::uint32_t) override { return true; }
  std::uint32_t event_mask() const override { return 0; }
  std::uint32_t wait_event(std::uint32_t) override { return 0; }
  bool set_dtr(bool) override { return true; }
  bool set_rts(bool) override { return true; }
  void clear_errors() override {}

 private:
  SerialLog& log_;
};

struct DeviceLog {
  std::vector<std::string> writes;
  std::vector<std::uint32_t> windows;
  std::deque<long> results;  // scripted counts, all bytes when empty
};

class FakeFile final : public device::File {
 public:
  FakeFile(std::string path, DeviceLog& log) : File(std::move(path)), log_(log) {}
  long write(std::span<const std::uint8_t> b, std::uint32_t window_ms) override {
    log_.writes.emplace_back(b.begin(), b.end());
    log_.windows.push_back(window_ms);
    if (log_.results.empty()) return static_cast<long>(b.size());
    long r = log_.results.front();
    log_.results.pop_front();
    return r;
  }
  using File::write;
  void purge() override {}

 private:
  DeviceLog& log_;
};

struct Rig {
  SerialLog serial_log;
  DeviceLog device_log;
  Printer printer{Devices{
      [this](std::string_view) {
        serial::OpenResult r;
        r.status = serial::OpenStatus::Ok;
        r.port = std::make_unique<FakePort>(serial_log);
        return r;
      },
      [this](std::string_view name, device::Access) {
        device::OpenResult r;
        r.file = std::make_unique<FakeFile>(std::string(name), device_log);
        return r;
      }}};
};

std::span<const std::uint8_t> span_of(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(PrinterSerial, BlocksGoOutIn64ByteChunksEachWaitedForASecond) {
  Rig rig;
  ASSERT_EQ(rig.printer.open_port("COM1", 9600), 0);
  std::string text(150, ' ');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
  EXPECT_EQ(rig.printer.write(span_of(text)), 1);
  EXPECT_EQ(rig.serial_log.writes, (std::vector<std::string>{text.substr(0, 64), text.substr(64, 64), text.substr(128)}));
  EXPECT_EQ(rig.serial_log.waits, (std::vector<std::uint32_t>{1000, 1000, 1000}));
  // After the open's purge, one purge of both directions after the last chunk.
  EXPECT_EQ(rig.serial_log.purges.back(), unsigned{serial::kPurgeAll});
}

TEST(PrinterSerial, AFailedOrTimedOutChunkEndsTheWrite) {
  for (auto failure : {serial::WriteStatus::TimedOut, serial::WriteStatus::Failed}) {
    Rig rig;
    ASSERT_EQ(rig.printer.open_port("COM1", 9600), 0);
    const auto purges_before = rig.serial_log.purges.size();
    rig.serial_log.results = {serial::WriteStatus::Completed, failure};
    EXPECT_EQ(rig.printer.write(span_of(std::string(200, 'y'))), 0);
    EXPECT_EQ(rig.serial_log.writes.size(), 2u) << "no chunk after the failing one";
    EXPECT_EQ(rig.serial_log.purges.size(), purges_before + 1);
    // The next call starts afresh.
    EXPECT_EQ(rig.printer.write(span_of(std::string(10, 'z'))), 1);
  }
}

TEST(PrinterSerial, TimeOutsAndLineSettingsFollowTheRate) {
  Rig rig;
  ASSERT_EQ(rig.printer.open_port("COM1", 9600), 0);
  const auto& t = rig.serial_log.timeouts;
  EXPECT_EQ(t.read_interval, 50u);
  EXPECT_EQ(t.read_total_multiplier, 0u);
  EXPECT_EQ(t.read_total_constant, 100u);
  EXPECT_EQ(t.write_total_multiplier, 2u);
  EXPECT_EQ(t.write_total_constant, 0u);
  const auto& l = rig.serial_log.line;
  EXPECT_EQ(l.baud, 9600u);
  EXPECT_EQ(l.data_bits, 8);
  EXPECT_EQ(l.parity, serial::Parity::None);
  EXPECT_EQ(l.stop_bits, serial::StopBits::One);
  EXPECT_TRUE(l.dtr_on);
  EXPECT_TRUE(l.rts_on);
  EXPECT_FALSE(l.cts_flow || l.dsr_flow || l.xon_xoff_in || l.xon_xoff_out);
  rig.printer.close();

  for (auto [baud, multiplier] : std::vector<std::pair<int, std::uint32_t>>{
           {1200, 16}, {2400, 8}, {4800, 4}, {19200, 1}, {38400, 0}, {57600, 0}, {115200, 0}}) {
    ASSERT_EQ(rig.printer.open_port("COM1", baud), 0) << baud;
    EXPECT_EQ(rig.serial_log.timeouts.write_total_multiplier, multiplier) << baud;
    rig.printer.close();
  }
}

TEST(PrinterPlain, ReturnsTheBytesWrittenWithinTheWindow) {
  Rig rig;
  ASSERT_EQ(rig.printer.open_port("LPT1", 0), 0);
  EXPECT_EQ(rig.printer.write(span_of(std::string(700, 'p'))), 700);
  EXPECT_EQ(rig.device_log.windows.back(), 500u);
  rig.device_log.results = {123};
  EXPECT_EQ(rig.printer.write(span_of(std::string(700, 'p'))), 123);
  rig.device_log.results = {-1};
  EXPECT_EQ(rig.printer.write(span_of("q")), 0);
}

TEST(PrinterPlain, TheNetworkVariantSendsTheRasterByteByByteAndStopsAtAFailure) {
  // A 16 x 8 monochrome file: 16 raster bytes.
  testing::Picture p(16, 8, 1);
  p.palette = {testing::Rgb{0, 0, 0}, testing::Rgb{255, 255, 255}};
  const auto bmp = testing::encode(p);
  Rig rig;
  ASSERT_EQ(rig.printer.open_port("LPT1", 0), 0);
  rig.printer.print_bitmap(bmp, 1, 0, /*tcpip_variant=*/false);
  EXPECT_EQ(rig.device_log.writes.size(), 4u);
  rig.device_log.writes.clear();
  rig.printer.print_bitmap(bmp, 1, 0, /*tcpip_variant=*/true);
  EXPECT_EQ(rig.device_log.writes.size(), 1u + 16 + 2);
  rig.device_log.writes.clear();
  rig.device_log.results = {4, 1, 1, 0};  // header, two raster bytes, then a failure
  rig.printer.print_bitmap(bmp, 1, 0, /*tcpip_variant=*/true);
  EXPECT_EQ(rig.device_log.writes.size(), 4u) << "nothing after the failing raster byte";
}

}  // namespace
}  // namespace pink::rcptlib
