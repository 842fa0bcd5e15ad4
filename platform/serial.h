// Serial port with the comm semantics the suite's drivers rely on: exclusive
// open, driver queues, line settings, time-outs, purge, writes with a bounded
// completion wait, reads of what is waiting, receive events, DTR/RTS and the
// input and output counts.
//
// Windows: "\\.\COMn" opened for overlapped I/O. A write completes when the
// driver says so, which for some drivers (USB adapters, virtual ports) is
// while its bytes still wait in the driver's queue; a purge of the output
// side leaves such bytes alone, and closing waits a bounded time for them.
// Linux: termios on $PINK_COMn (for example PINK_COM3=/dev/pts/7) or
// /dev/ttyS(n-1); exclusive through TIOCEXCL and an advisory lock. A write
// completes only when its bytes have left the port, so a purge after a
// completed write never drops data; the output count comes from TIOCOUTQ and
// the input count from FIONREAD.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace pink::serial {

enum class Parity : std::uint8_t { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
enum class StopBits : std::uint8_t { One = 0, OneAndHalf = 1, Two = 2 };

// Line settings, mapped onto termios or the DCB in exactly one function per OS.
struct LineSettings {
  std::uint32_t baud = 9600;
  std::uint8_t data_bits = 8;
  Parity parity = Parity::None;
  StopBits stop_bits = StopBits::One;
  bool parity_check = false;
  bool cts_flow = false;        // CTS output flow control (RTS handshake)
  bool dsr_flow = false;        // DSR output flow control (DTR handshake)
  bool xon_xoff_out = false;
  bool xon_xoff_in = false;
  bool dtr_on = true;           // DTR line raised while open (when not handshaking)
  bool rts_on = true;           // RTS line raised while open (when not handshaking)
  std::uint8_t xon_char = 0x11;
  std::uint8_t xoff_char = 0x13;
  std::uint16_t xon_limit = 100;
  std::uint16_t xoff_limit = 100;
};

// Time-outs in milliseconds with the meaning of the Windows comm time-outs.
// read_interval = clock::kWaitForever with both read totals 0: a read returns at once
// with what is waiting. A write total of 0/0 means no total write time-out.
struct Timeouts {
  std::uint32_t read_interval = clock::kWaitForever;
  std::uint32_t read_total_multiplier = 0;
  std::uint32_t read_total_constant = 0;
  std::uint32_t write_total_multiplier = 0;
  std::uint32_t write_total_constant = 0;
};

// Purge flags, combinable.
enum Purge : unsigned {
  kAbortTx = 0x1,
  kAbortRx = 0x2,
  kClearTx = 0x4,
  kClearRx = 0x8,
  kPurgeAll = 0xF,
};

// Receive events, combinable (values of the Windows event mask).
enum Event : std::uint32_t {
  kEventNone = 0,
  kEventRxChar = 0x0001,
  kEventTxEmpty = 0x0004,
  kEventError = 0x0080,
};

enum class OpenStatus {
  Ok,
  NoSuchPort,   // the port does not exist
  InUse,        // another handle holds the port
  Failed,       // any other failure; see the text
};

struct OpenResult;

enum class WriteStatus {
  Completed,  // every byte has left the port (or, on Windows, the driver took it)
  TimedOut,   // the wait ended first; `written` tells how many bytes went out
  Failed,     // the write call was refused
};

struct WriteResult {
  WriteStatus status = WriteStatus::Failed;
  std::size_t written = 0;
  std::string text;  // Failed: what the system said, for people
};

class Port {
 public:
  virtual ~Port() = default;
  Port(const Port&) = delete;
  Port& operator=(const Port&) = delete;

  // Driver queue sizes (advisory on Linux).
  virtual bool set_queues(std::uint32_t in_bytes, std::uint32_t out_bytes) = 0;
  virtual bool get_line(LineSettings& out) = 0;
  // Fails (false) for settings the port cannot take, such as an unsupported
  // baud rate; the port then keeps its earlier settings.
  virtual bool set_line(const LineSettings& line) = 0;
  virtual bool set_timeouts(const Timeouts& t) = 0;
  virtual const Timeouts& timeouts() const = 0;

  // Purges the given directions. Clearing the output side discards only bytes
  // of a write that did not complete; bytes of completed writes are never lost.
  virtual bool purge(unsigned flags) = 0;

  // Writes `bytes` and waits for completion for at most `wait_ms` milliseconds
  // (clock::kWaitForever: as long as the write time-outs allow; with no write time-out,
  // until done). A timed-out write is left incomplete; purge to abort it.
  virtual WriteResult write(std::span<const std::uint8_t> bytes, std::uint32_t wait_ms) = 0;
  WriteResult write(std::string_view bytes, std::uint32_t wait_ms);

  // Reads following the read time-outs. Returns the number of bytes read
  // (0 when none arrived), or -1 when the read call fails.
  virtual long read(std::span<std::uint8_t> out) = 0;

  // Bytes waiting in the input queue / not yet sent from the output queue.
  virtual std::uint32_t input_count() = 0;
  virtual std::uint32_t output_count() = 0;

  // Event mask; changing it ends a wait_event() in progress on another thread.
  virtual bool set_event_mask(std::uint32_t mask) = 0;
  virtual std::uint32_t event_mask() const = 0;
  // Waits up to `timeout_ms` (clock::kWaitForever: without limit) for one of the events
  // of the mask. Returns the events that occurred, 0 on time-out or when the
  // mask was changed meanwhile.
  virtual std::uint32_t wait_event(std::uint32_t timeout_ms) = 0;

  virtual bool set_dtr(bool on) = 0;
  virtual bool set_rts(bool on) = 0;
  // Clears the port's error state after a failed call.
  virtual void clear_errors() = 0;

  const std::string& name() const noexcept { return name_; }

 protected:
  explicit Port(std::string name) : name_(std::move(name)) {}

 private:
  std::string name_;
};

struct OpenResult {
  OpenStatus status = OpenStatus::Failed;
  std::unique_ptr<Port> port;  // set when status is Ok
  std::string text;            // what went wrong, for messages and logs
};

// Opens the port named "COM1" ... "COM256" (any case of the letters; other
// names fail with NoSuchPort) for exclusive read and write use.
OpenResult open(std::string_view name);

// Where the port named "COMn" lives on this machine ("\\.\COM3",
// "/dev/ttyS2", or the value of $PINK_COM3).
std::string device_path(std::string_view name);

// Parses "COMn" (case-insensitive); returns 0 for any other name.
int port_number(std::string_view name);

// True for the baud rates a port accepts.
bool is_supported_baud(std::uint32_t baud);

}  // namespace pink::serial
