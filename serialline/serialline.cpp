#include "serialline/serialline.h"

#include <algorithm>
#include <optional>
#include <string>

#include "platform/cursor.h"

namespace pink::serialline {

std::string port_name(const Record& record) {
  static constexpr char kPrefix[] = "COM";
  return kPrefix + std::to_string(record.port);
}

serial::Timeouts timeouts_for(const Record& record) {
  serial::Timeouts t;
  t.read_interval = clock::kWaitForever;
  t.read_total_multiplier = 0;
  t.read_total_constant = kReadTotalConstantMs;
  t.write_total_multiplier = record.baud != 0 ? 19200u / record.baud : 0;
  t.write_total_constant = 0;
  return t;
}

serial::LineSettings line_state(const serial::LineSettings& reported, const Record& record) {
  serial::LineSettings s = reported;
  s.baud = record.baud;
  s.data_bits = record.data_bits;
  s.parity = static_cast<serial::Parity>(std::min<std::uint8_t>(record.parity, 4));
  s.stop_bits = static_cast<serial::StopBits>(std::min<std::uint8_t>(record.stop_bits, 2));
  s.parity_check = true;
  const bool dtr_dsr = (record.flow & kFlowDtrDsr) != 0;
  const bool rts_cts = (record.flow & kFlowRtsCts) != 0;
  const bool xon_xoff = (record.flow & kFlowXonXoff) != 0;
  s.dsr_flow = dtr_dsr;
  s.dtr_on = true;  // raised; with the handshake the driver drives it
  s.cts_flow = rts_cts;
  s.rts_on = true;
  s.xon_xoff_out = xon_xoff;
  s.xon_xoff_in = xon_xoff;
  s.xon_char = kXonChar;
  s.xoff_char = kXoffChar;
  s.xon_limit = kXonXoffLimit;
  s.xoff_limit = kXonXoffLimit;
  return s;
}

Line::~Line() { close(); }

bool Line::set_up(serial::Port& port, const Record& record) {
  port.set_event_mask(serial::kEventRxChar);
  port.set_queues(kQueueBytes, kQueueBytes);
  port.purge(serial::kPurgeAll);
  port.set_timeouts(timeouts_for(record));
  serial::LineSettings reported;
  if (!port.get_line(reported)) {
    last_error_ = port.name() + ": the line state cannot be read";
    return false;
  }
  if (!port.set_line(line_state(reported, record))) {
    last_error_ = port.name() + ": the line state was refused";
    return false;
  }
  return true;
}

bool Line::open(const Record& record, const OpenOptions& options) {
  close();
  last_error_.clear();
  std::optional<cursor::WaitCursor> busy;
  if (options.wait_cursor) busy.emplace();
  serial::OpenResult opened = serial::open(port_name(record));
  if (opened.status != serial::OpenStatus::Ok) {
    last_error_ = opened.text;
    return false;
  }
  std::shared_ptr<serial::Port> port = std::move(opened.port);
  if (!set_up(*port, record)) return false;  // the port closes with `port`
  port_ = std::move(port);
  return true;
}

bool Line::write(std::span<const std::uint8_t> bytes) {
  if (!port_) return false;
  const serial::WriteResult r = port_->write(bytes, clock::kWaitForever);
  if (r.status == serial::WriteStatus::Failed) {
    port_->clear_errors();
    return false;
  }
  return true;
}

std::size_t read_chunk(serial::Port& port, std::span<std::uint8_t> out) {
  const std::uint32_t waiting = port.input_count();
  if (waiting == 0 || out.empty()) return 0;
  const std::size_t take = std::min<std::size_t>(waiting, out.size());
  const long got = port.read(out.first(take));
  if (got < 0) {
    port.clear_errors();
    return 0;
  }
  return static_cast<std::size_t>(got);
}

std::size_t Line::read_chunk(std::span<std::uint8_t> out) {
  return port_ ? serialline::read_chunk(*port_, out) : 0;
}

void Line::close() {
  if (!port_) return;
  port_->set_event_mask(serial::kEventNone);
  port_->set_dtr(false);
  port_->purge(serial::kPurgeAll);
  port_.reset();
}

}  // namespace pink::serialline
