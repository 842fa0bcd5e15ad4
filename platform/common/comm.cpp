// The serial communications control over serial::Port.
#include "platform/comm.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>
#include <vector>

#include "platform/failure.h"

namespace pink::comm {
namespace {

constexpr int kMinPort = 1;
constexpr int kMaxPort = 255;

// Generous bound on how long Output waits for its bytes to leave: twice the
// line time at ten bits a byte, plus five seconds.
constexpr std::uint64_t kOutputSlackMs = 5000;

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Splits at commas; every field trimmed of blanks.
std::vector<std::string_view> fields(std::string_view text) {
  std::vector<std::string_view> out;
  for (;;) {
    const auto comma = text.find(',');
    out.push_back(trim(text.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return out;
}

struct ParityLetter {
  char letter;
  serial::Parity parity;
};

constexpr std::array kParityLetters{
    ParityLetter{'n', serial::Parity::None}, ParityLetter{'e', serial::Parity::Even},
    ParityLetter{'o', serial::Parity::Odd},  ParityLetter{'m', serial::Parity::Mark},
    ParityLetter{'s', serial::Parity::Space},
};

struct StopText {
  std::string_view text;
  serial::StopBits stop;
};

constexpr std::array kStopTexts{
    StopText{"1", serial::StopBits::One},
    StopText{"1.5", serial::StopBits::OneAndHalf},
    StopText{"2", serial::StopBits::Two},
};

Failure open_failure(const serial::OpenResult& r) {
  switch (r.status) {
    case serial::OpenStatus::InUse:
      return Failure(Err::PortAlreadyOpen, describe(Err::PortAlreadyOpen), r.text);
    case serial::OpenStatus::NoSuchPort:
    case serial::OpenStatus::Failed:
    case serial::OpenStatus::Ok:
      break;
  }
  return Failure(Err::InvalidPortNumber, describe(Err::InvalidPortNumber), r.text);
}

}  // namespace

bool parse_settings(std::string_view text, Settings& out) {
  const auto f = fields(text);
  if (f.size() != 4) return false;
  Settings s;

  // Baud: a positive decimal number.
  const std::string_view baud = f[0];
  if (baud.empty() || baud.size() > 9) return false;
  std::uint32_t b = 0;
  for (const char c : baud) {
    if (c < '0' || c > '9') return false;
    b = b * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (b == 0) return false;
  s.baud = b;

  if (f[1].size() != 1) return false;
  const char p = static_cast<char>(f[1][0] | 0x20);  // either case
  const auto parity = std::find_if(kParityLetters.begin(), kParityLetters.end(),
                                   [p](const ParityLetter& l) { return l.letter == p; });
  if (parity == kParityLetters.end()) return false;
  s.parity = parity->parity;

  if (f[2].size() != 1 || f[2][0] < '4' || f[2][0] > '8') return false;
  s.data_bits = static_cast<std::uint8_t>(f[2][0] - '0');

  const auto stop = std::find_if(kStopTexts.begin(), kStopTexts.end(),
                                 [&](const StopText& t) { return t.text == f[3]; });
  if (stop == kStopTexts.end()) return false;
  s.stop_bits = stop->stop;

  out = s;
  return true;
}

CommControl::CommControl() { parse_settings(settings_text_, settings_); }

CommControl::~CommControl() { port_.reset(); }

void CommControl::require_open() const {
  if (!port_) throw Failure(Err::PortNotOpen);
}

void CommControl::set_comm_port(int port) {
  if (port_) throw Failure(Err::PortOpenNotValid);
  if (port < kMinPort || port > kMaxPort) {
    throw Failure(Err::InvalidPortNumber, describe(Err::InvalidPortNumber),
                  "COM" + std::to_string(port) + " is not a port number 1.." + std::to_string(kMaxPort));
  }
  port_number_ = port;
}

void CommControl::set_settings(std::string_view text) {
  Settings parsed;
  if (!parse_settings(text, parsed)) throw Failure(Err::InvalidPropertyValue);
  const Settings before = settings_;
  settings_ = parsed;
  if (port_) {
    try {
      apply_line();
    } catch (...) {
      settings_ = before;
      throw;
    }
  }
  settings_text_ = std::string(text);
}

void CommControl::apply_line() {
  serial::LineSettings line;
  line.baud = settings_.baud;
  line.parity = settings_.parity;
  line.data_bits = settings_.data_bits;
  line.stop_bits = settings_.stop_bits;
  // The control runs the line without flow control; DTR and RTS follow
  // DTREnable and RTSEnable.
  line.parity_check = false;  // bytes are delivered as they arrive
  line.cts_flow = false;
  line.dsr_flow = false;
  line.xon_xoff_out = false;
  line.xon_xoff_in = false;
  line.dtr_on = dtr_;
  line.rts_on = rts_;
  if (!port_->set_line(line)) throw Failure(Err::CouldNotSetCommState);
}

void CommControl::set_port_open(bool open) {
  if (!open) {
    port_.reset();
    return;
  }
  if (port_) throw Failure(Err::PortAlreadyOpen);

  serial::OpenResult r = serial::open("COM" + std::to_string(port_number_));
  if (r.status != serial::OpenStatus::Ok) throw open_failure(r);
  port_ = std::move(r.port);
  try {
    port_->set_queues(static_cast<std::uint32_t>(in_size_), static_cast<std::uint32_t>(out_size_));
    apply_line();
    // Reads return at once with what is waiting; Output bounds its own wait.
    serial::Timeouts t;
    t.read_interval = clock::kWaitForever;
    t.read_total_multiplier = 0;
    t.read_total_constant = 0;
    t.write_total_multiplier = 0;
    t.write_total_constant = 0;
    if (!port_->set_timeouts(t)) throw Failure(Err::CouldNotSetCommState);
  } catch (...) {
    port_.reset();
    throw;
  }
}

void CommControl::set_in_buffer_size(int bytes) {
  if (port_) throw Failure(Err::PortOpenNotValid);
  if (bytes <= 0) throw Failure(Err::InvalidPropertyValue);
  in_size_ = bytes;
}

void CommControl::set_out_buffer_size(int bytes) {
  if (port_) throw Failure(Err::PortOpenNotValid);
  if (bytes <= 0) throw Failure(Err::InvalidPropertyValue);
  out_size_ = bytes;
}

int CommControl::out_buffer_count() {
  require_open();
  return static_cast<int>(port_->output_count());
}

void CommControl::set_out_buffer_count(int n) {
  require_open();
  if (n != 0) throw Failure(Err::InvalidPropertyValue);
  // Bytes of completed Output calls have left the port already; this drops
  // only what a failed Output left behind.
  port_->purge(serial::kAbortTx | serial::kClearTx);
}

int CommControl::in_buffer_count() {
  require_open();
  return static_cast<int>(port_->input_count());
}

void CommControl::set_in_buffer_count(int n) {
  require_open();
  if (n != 0) throw Failure(Err::InvalidPropertyValue);
  port_->purge(serial::kAbortRx | serial::kClearRx);
}

void CommControl::set_input_len(int n) {
  if (n < 0) throw Failure(Err::InvalidPropertyValue);
  input_len_ = n;
}

std::string CommControl::input() {
  require_open();
  std::string out;
  const std::size_t limit = input_len_ > 0 ? static_cast<std::size_t>(input_len_) : std::numeric_limits<std::size_t>::max();
  std::vector<std::uint8_t> buf;
  while (out.size() < limit) {
    const std::size_t waiting = std::max<std::size_t>(port_->input_count(), 1);
    buf.resize(std::min({waiting, limit - out.size(), std::size_t{65536}}));
    const long n = port_->read(buf);
    if (n < 0) {
      port_->clear_errors();
      if (out.empty()) throw Failure(Err::ReadError);
      break;
    }
    if (n == 0) break;
    out.append(reinterpret_cast<const char*>(buf.data()), static_cast<std::size_t>(n));
  }
  return out;
}

std::uint32_t CommControl::output_wait_ms(std::size_t bytes) const {
  const std::uint64_t baud = settings_.baud ? settings_.baud : 9600;
  const std::uint64_t line_ms = std::uint64_t{bytes} * 10 * 1000 / baud;
  const std::uint64_t wait = 2 * line_ms + kOutputSlackMs;
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(wait, clock::kWaitForever - 1));
}

void CommControl::output(std::string_view bytes) {
  require_open();
  if (bytes.empty()) return;
  const serial::WriteResult r = port_->write(bytes, output_wait_ms(bytes.size()));
  if (r.status == serial::WriteStatus::Completed) return;
  // Leave nothing half-sent queued behind the failure.
  port_->purge(serial::kAbortTx | serial::kClearTx);
  port_->clear_errors();
  throw Failure(Err::DeviceIoError, describe(Err::DeviceIoError),
                r.status == serial::WriteStatus::TimedOut
                    ? "write to " + port_->name() + " did not complete (" + std::to_string(r.written) +
                          " of " + std::to_string(bytes.size()) + " bytes sent)"
                    : "write to " + port_->name() + " refused" + (r.text.empty() ? "" : ": " + r.text));
}

void CommControl::set_dtr_enable(bool on) {
  dtr_ = on;
  if (port_) port_->set_dtr(on);
}

void CommControl::set_rts_enable(bool on) {
  rts_ = on;
  if (port_) port_->set_rts(on);
}

void CommControl::poll_events() {
  if (!port_ || rthreshold_ <= 0 || !handler_) return;
  if (port_->input_count() >= static_cast<std::uint32_t>(rthreshold_)) handler_(kEvReceive);
}

}  // namespace pink::comm
