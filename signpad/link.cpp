#include "signpad/link.h"

#include <algorithm>

namespace pink::signpad {
namespace {

// The watch thread's waits are bounded, so that it always ends soon after
// the link is closed, whatever the port does.
constexpr std::uint32_t kWaitMs = 100;

serial::LineSettings line_for(const LinkSettings& s, serial::LineSettings line, std::uint32_t speed) {
  line.baud = speed;
  line.data_bits = 8;
  line.parity = serial::Parity::None;
  line.stop_bits = serial::StopBits::One;
  if (s.xon_xoff_fields) {
    line.xon_xoff_in = line.xon_xoff_out = false;
    line.xon_limit = line.xoff_limit = 100;
    line.xon_char = 0x11;
    line.xoff_char = 0x13;
  }
  return line;
}

}  // namespace

std::size_t ByteRing::size() const noexcept {
  const std::size_t r = read_.load(std::memory_order_acquire), w = write_.load(std::memory_order_acquire);
  return (w + bytes_.size() - r) % bytes_.size();
}

bool ByteRing::put(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > free()) return false;
  std::size_t w = write_.load(std::memory_order_relaxed);
  for (const std::uint8_t b : bytes) {
    bytes_[w] = b;
    w = (w + 1) % bytes_.size();
  }
  write_.store(w, std::memory_order_release);
  return true;
}

std::size_t ByteRing::get(std::span<std::uint8_t> out) {
  std::size_t r = read_.load(std::memory_order_relaxed);
  const std::size_t w = write_.load(std::memory_order_acquire);
  std::size_t n = 0;
  while (n < out.size() && r != w) {
    out[n++] = bytes_[r];
    r = (r + 1) % bytes_.size();
  }
  read_.store(r, std::memory_order_release);
  return n;
}

void ByteRing::clear() noexcept {
  read_.store(0);
  write_.store(0);
}

PadLink::PadLink(const LinkSettings& settings, LinkWindow& window)
    : settings_(settings), window_(window), ring_(settings.ring_bytes) {}

PadLink::~PadLink() { close(); }

bool PadLink::open(int port, std::uint32_t speed) {
  close();
  last_error_.clear();
  port_number_ = port;
  serial::OpenResult opened = serial::open("COM" + std::to_string(port));
  if (opened.status != serial::OpenStatus::Ok) {
    last_error_ = opened.text;
    return false;
  }
  std::shared_ptr<serial::Port> p = std::move(opened.port);
  serial::Timeouts t;  // reads return at once with what waits
  t.write_total_multiplier = settings_.write_time_per_byte && speed != 0 ? 19200 / speed : 0;
  serial::LineSettings reported;
  if (!p->get_line(reported) || !p->set_line(line_for(settings_, reported, speed))) {
    last_error_ = p->name() + ": the line settings were refused";
    return false;
  }
  p->set_queues(settings_.driver_queue, settings_.driver_queue);
  p->set_timeouts(t);
  port_ = p;
  connected_.store(true);
  {
    const std::lock_guard<std::mutex> hold(lock_);
    handled_ = true;
  }
  try {
    thread_ = std::thread(&PadLink::watch, this, p);
  } catch (const std::exception&) {
    connected_.store(false);
    port_.reset();
    if (!settings_.thread_failure_text.empty()) {
      window_.message_box(std::string(settings_.thread_failure_text) + "COM" + std::to_string(port));
    }
    last_error_ = "the watch thread could not be started";
    return false;
  }
  return true;
}

void PadLink::watch(std::shared_ptr<serial::Port> port) {
  if (port->set_event_mask(serial::kEventRxChar)) {
    while (connected_.load()) {
      const std::uint32_t events = port->wait_event(kWaitMs);
      if (events & serial::kEventRxChar) {
        read_burst(*port);
        if (connected_.load()) notify_read();
      }
    }
  } else if (!settings_.thread_failure_text.empty()) {
    window_.message_box(std::string(settings_.thread_failure_text) + port->name());
  }
  if (settings_.reports_close) {
    port->purge(serial::kPurgeAll);
    window_.post(kCommClose, static_cast<std::uintptr_t>(port_number_));
  }
}

void PadLink::read_burst(serial::Port& port) {
  std::vector<std::uint8_t> chunk(settings_.read_chunk);
  for (;;) {
    const std::uint32_t queued = port.input_count();
    if (queued == 0) return;
    const long n = port.read(std::span(chunk).first(std::min<std::size_t>(queued, chunk.size())));
    if (n <= 0) {
      port.clear_errors();
      return;
    }
    const auto bytes = std::span<const std::uint8_t>(chunk).first(static_cast<std::size_t>(n));
    if (static_cast<std::size_t>(n) >= ring_.free() || !ring_.put(bytes)) {
      window_.message_box(settings_.overflow_text);  // the chunk is dropped
    }
  }
}

void PadLink::notify_read() {
  const std::uintptr_t wparam = settings_.port_in_wparam ? static_cast<std::uintptr_t>(port_number_) : 0;
  if (!settings_.sent) {
    window_.post(kCommRead, wparam);
    return;
  }
  std::unique_lock<std::mutex> hold(lock_);
  handled_ = false;
  window_.post(kCommRead, wparam);
  handled_cv_.wait(hold, [this] { return handled_ || !connected_.load(); });
}

void PadLink::handled() {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    handled_ = true;
  }
  handled_cv_.notify_all();
}

std::size_t PadLink::write(std::span<const std::uint8_t> bytes) {
  if (!port_ || !connected_.load()) return 0;
  const serial::WriteResult r = port_->write(bytes, clock::kWaitForever);
  port_->clear_errors();
  return r.status == serial::WriteStatus::Failed ? 0 : r.written;
}

void PadLink::close() {
  if (!port_) return;
  {
    const std::lock_guard<std::mutex> hold(lock_);
    connected_.store(false);
  }
  handled_cv_.notify_all();
  port_->set_event_mask(serial::kEventNone);  // ends the watch thread's wait
  port_->purge(serial::kPurgeAll);
  if (settings_.drops_dtr_on_close) port_->set_dtr(false);
  // The thread's waits are bounded and a sent notification is let go by the
  // cleared flag: the thread ends within one wait.
  if (thread_.joinable()) thread_.join();
  port_.reset();
}

}  // namespace pink::signpad
