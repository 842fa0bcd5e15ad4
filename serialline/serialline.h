// The serial line of the display and scanner drivers: one fixed port with
// fixed line settings, opened in a guarded sequence, one write at a time.
//
//   serialline::Line line;
//   if (!line.open({.port = 4, .baud = 9600, .flow = serialline::kFlowXonXoff})) ...
//   line.write(bytes);   // waits for its own completion
//   line.close();
//
// The line settings record is the driver's own defaults, refilled at every
// open. The open sequence: the wait cursor (optional), "COMn" opened for
// exclusive read and write, the receive event, 4096-byte driver queues, a
// purge of both directions, the time-outs (reads return at once with what
// waits, or wait up to 1000 ms for a first byte; writes may take 19200 / baud
// milliseconds per byte), and the line state built from what the driver
// reports with the record's values. A failing step closes what was opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/serial.h"

namespace pink::serialline {

// Flow-control selector bits.
enum Flow : std::uint8_t {
  kFlowDtrDsr = 0x01,   // DSR output flow control, DTR handshake
  kFlowRtsCts = 0x02,   // CTS output flow control, RTS handshake
  kFlowXonXoff = 0x04,  // XON/XOFF both ways
};

// The line settings record.
struct Record {
  std::uint8_t port = 1;          // COMn
  std::uint32_t baud = 9600;
  std::uint8_t data_bits = 8;
  std::uint8_t parity = 0;        // 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::uint8_t stop_bits = 0;     // 0 one, 1 one and a half, 2 two
  std::uint8_t flow = kFlowXonXoff;
};

inline constexpr std::uint32_t kQueueBytes = 4096;
inline constexpr std::uint32_t kReadTotalConstantMs = 1000;
inline constexpr std::uint8_t kXonChar = 0x11;
inline constexpr std::uint8_t kXoffChar = 0x13;
inline constexpr std::uint16_t kXonXoffLimit = 100;

// "COM" and the port number in decimal ("COM6").
std::string port_name(const Record& record);

// The time-outs of the open sequence for the record's rate.
serial::Timeouts timeouts_for(const Record& record);

// The line state: what the driver reports, with the record's rate, data bits,
// parity and stop bits, parity checking on, and the handshakes the selector
// asks for (a line not used for a handshake is raised and left on).
serial::LineSettings line_state(const serial::LineSettings& reported, const Record& record);

struct OpenOptions {
  bool wait_cursor = true;  // show the wait cursor while opening (the displays)
};

class Line {
 public:
  Line() = default;
  ~Line();
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;

  // Runs the open sequence; false when the port cannot be opened or set up,
  // and the line is then closed. Opening an open line closes it first.
  bool open(const Record& record, const OpenOptions& options = {});
  bool is_open() const noexcept { return port_ != nullptr; }

  // One write, waiting for its own completion: true when it completed or its
  // wait ended (the write time-outs bound it); false when the port refused it
  // (its error state is then cleared) or the line is closed.
  bool write(std::span<const std::uint8_t> bytes);

  // Reads at most out.size() of the bytes waiting in the input queue; 0 when
  // none wait, or when the read fails (the error state is then cleared).
  std::size_t read_chunk(std::span<std::uint8_t> out);

  // Event mask none, DTR off, both directions purged, port closed. Does
  // nothing on a closed line.
  void close();

  // The port, shared with a reader thread so that it stays valid while that
  // thread still uses it; null when closed.
  const std::shared_ptr<serial::Port>& port() const noexcept { return port_; }

  // Why the last open failed (for diagnostics; the drivers report only 0).
  const std::string& last_error() const noexcept { return last_error_; }

 private:
  bool set_up(serial::Port& port, const Record& record);

  std::shared_ptr<serial::Port> port_;
  std::string last_error_;
};

// Reads a chunk from a port as Line::read_chunk does (for a reader thread
// that holds the port itself).
std::size_t read_chunk(serial::Port& port, std::span<std::uint8_t> out);

}  // namespace pink::serialline
