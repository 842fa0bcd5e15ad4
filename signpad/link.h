// The pad link of tallypad and stylpad: the pad's serial port, a watch
// thread that only reads the port into a receive ring, and notifications to
// the control's window, whose handler drains the ring and parses on the
// control's own thread.
//
//   PadLink link(kTallyLink, window);        // window: where notifications go
//   link.open(3, 38400);
//   link.write(frame);
//   ... window receives kCommRead: link.take(bytes) drains the ring,
//       then link.handled() (a sent notification waits for it) ...
//   link.close();
//
// The ring is a single-producer, single-consumer ring without a lock: the
// watch thread only advances the write index, the control's thread only the
// read index; it holds at most its size minus one byte.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/serial.h"

namespace pink::signpad {

// Window messages of the link.
inline constexpr std::uint32_t kCommRead = 0x0400 + 1;   // WM_USER + 1
inline constexpr std::uint32_t kCommClose = 0x0400 + 2;  // WM_USER + 2

// The control's window as the link sees it.
class LinkWindow {
 public:
  virtual ~LinkWindow() = default;
  // Queues the message for the control's thread and returns at once.
  virtual void post(std::uint32_t message, std::uintptr_t wparam) = 0;
  // A message box (queue overflow, a watch thread that cannot start).
  virtual void message_box(std::string_view text_cp949) = 0;
};

// What differs between the two families' links.
struct LinkSettings {
  std::size_t ring_bytes;          // the receive ring
  std::uint32_t driver_queue;      // driver queues in and out
  std::size_t read_chunk;          // the most one read takes
  bool write_time_per_byte;        // write total time-out of 19200 / speed ms per byte
  bool sent;                       // kCommRead waits until the control has handled it
  bool port_in_wparam;             // the port number as wParam (else 0)
  bool reports_close;              // kCommClose when the watch thread ends
  bool drops_dtr_on_close;         // DTR off when closing
  bool xon_xoff_fields;            // XON/XOFF off with limits 100 and 0x11 / 0x13 set
  std::string_view overflow_text;  // the message box of a full ring
  std::string_view thread_failure_text;  // "" : no message box
};

inline constexpr LinkSettings kTallyLink{4192, 4192, 2048, true, false, false, false, true, false,
                                         "Queue Buffer Full Error !!", ""};
inline constexpr LinkSettings kStylLink{8192, 4096, 4096, false, true, true, true, false, true,
                                        "m_QueueRead FULL!", "Error while creating ThreadWatchComm, "};

// The single-producer, single-consumer byte ring.
class ByteRing {
 public:
  explicit ByteRing(std::size_t size) : bytes_(size) {}
  std::size_t capacity() const noexcept { return bytes_.size() - 1; }
  std::size_t size() const noexcept;
  std::size_t free() const noexcept { return capacity() - size(); }
  // Producer: all of `bytes`, or nothing when they do not fit.
  bool put(std::span<const std::uint8_t> bytes);
  // Consumer: up to out.size() bytes; how many were taken.
  std::size_t get(std::span<std::uint8_t> out);
  // Only while no producer runs.
  void clear() noexcept;

 private:
  std::vector<std::uint8_t> bytes_;
  std::atomic<std::size_t> read_{0}, write_{0};
};

class PadLink {
 public:
  PadLink(const LinkSettings& settings, LinkWindow& window);
  ~PadLink();  // closes
  PadLink(const PadLink&) = delete;
  PadLink& operator=(const PadLink&) = delete;

  // Opens "COMn" at the speed, 8 data bits, no parity, one stop bit, and
  // starts the watch thread. False when the port cannot be opened or set up
  // (why: last_error()).
  bool open(int port, std::uint32_t speed);
  bool connected() const noexcept { return connected_.load(); }

  // One write, waiting for its completion: the bytes written (0 when the
  // link is closed or the write is refused).
  std::size_t write(std::span<const std::uint8_t> bytes);

  // The control's side of kCommRead: drains the ring, then says it is done.
  std::size_t take(std::span<std::uint8_t> out) { return ring_.get(out); }
  std::size_t waiting() const noexcept { return ring_.size(); }
  void handled();

  // Ends the watch thread (it is woken at once) and closes the port: the
  // event mask cleared, both directions purged, DTR dropped where the family
  // does so. Closing a closed link does nothing.
  void close();
  // Empties the receive ring (only with the link closed).
  void clear() noexcept { ring_.clear(); }

  int port() const noexcept { return port_number_; }
  const std::string& last_error() const noexcept { return last_error_; }

 private:
  void watch(std::shared_ptr<serial::Port> port);
  void read_burst(serial::Port& port);
  void notify_read();

  const LinkSettings& settings_;
  LinkWindow& window_;
  ByteRing ring_;
  std::shared_ptr<serial::Port> port_;
  std::thread thread_;
  std::atomic<bool> connected_{false};
  int port_number_ = 0;
  std::string last_error_;
  std::mutex lock_;
  std::condition_variable handled_cv_;
  bool handled_ = true;
};

}  // namespace pink::signpad
