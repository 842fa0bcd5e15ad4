// The serial communications control: the object model through which the
// spoolers, the display program and the handheld transfer drive a serial port.
//
//   CommControl c;
//   c.set_comm_port(3);
//   c.set_settings("9600,n,8,1");
//   c.set_out_buffer_size(512);
//   c.set_port_open(true);       // throws Failure 8002 / 8005 / 8015 ...
//   c.set_out_buffer_count(0);
//   c.output("ORDER\r\n");
//   c.set_port_open(false);
//
// Property errors are pink::Failure with the control's numbers and texts:
// 380 invalid property value, 8000 not valid while the port is open,
// 8002 invalid port number, 8005 port already open, 8015 could not set comm
// state, 8018 operation valid only when the port is open. It throws, unlike
// the rest of the platform layer (platform/result.h), because the control it
// models raises its errors and the programs take them down their single
// failure path.
//
// Output hands the bytes to the port and returns when they have left it (with a
// generous limit derived from the line time), so OutBufferCount = 0 after an
// Output never drops what was written. This is the same on every platform.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/serial.h"

namespace pink::comm {

// Parsed settings text "baud,parity,data,stop" ("9600,n,8,1"). Parity letters
// n, e, o, m, s in either case; data bits 4..8; stop bits 1, 1.5 or 2.
struct Settings {
  std::uint32_t baud = 9600;
  serial::Parity parity = serial::Parity::None;
  std::uint8_t data_bits = 8;
  serial::StopBits stop_bits = serial::StopBits::One;
};

// Returns false for text that is not a settings text; `out` is then untouched.
bool parse_settings(std::string_view text, Settings& out);

enum class InputMode { Text = 0, Binary = 1 };

// The receive event (CommEvent comEvReceive = 2).
constexpr int kEvReceive = 2;

class CommControl {
 public:
  CommControl();
  ~CommControl();  // closes the port if open; never throws
  CommControl(const CommControl&) = delete;
  CommControl& operator=(const CommControl&) = delete;

  // CommPort: 1..16 (as the control allows 1..255 here); 8000 while open,
  // 8002 for a number out of range.
  void set_comm_port(int port);
  int comm_port() const noexcept { return port_number_; }

  // Settings: 380 for an unparsable text; applied at once when open
  // (8015 when the port refuses it).
  void set_settings(std::string_view text);
  const std::string& settings() const noexcept { return settings_text_; }

  // PortOpen: opening a missing port gives 8002, one held elsewhere 8005,
  // settings the port refuses 8015 (the port is then left closed). Opening an
  // open port gives 8005; closing a closed one does nothing.
  void set_port_open(bool open);
  bool port_open() const noexcept { return port_ != nullptr; }

  void set_in_buffer_size(int bytes);    // 8000 while open
  void set_out_buffer_size(int bytes);   // 8000 while open
  int in_buffer_size() const noexcept { return in_size_; }
  int out_buffer_size() const noexcept { return out_size_; }

  // Counts of waiting bytes; setting 0 discards them (8018 when closed; any
  // value other than 0 is 380).
  int out_buffer_count();
  void set_out_buffer_count(int n);
  int in_buffer_count();
  void set_in_buffer_count(int n);

  // Receive threshold: the receive event fires when at least this many bytes
  // wait (0 = no receive events).
  void set_rthreshold(int n) { rthreshold_ = n; }
  int rthreshold() const noexcept { return rthreshold_; }

  // InputLen: how many bytes Input takes at most (0 = all waiting).
  void set_input_len(int n);
  int input_len() const noexcept { return input_len_; }
  void set_input_mode(InputMode m) noexcept { input_mode_ = m; }
  InputMode input_mode() const noexcept { return input_mode_; }

  // Input: removes and returns what is waiting (at most InputLen bytes);
  // "" when nothing waits. 8018 when closed.
  std::string input();

  // Output: writes the bytes; 8018 when closed; 57 (device I/O error) when the
  // port refuses the write or it cannot complete within the limit.
  void output(std::string_view bytes);

  // DTR and RTS lines (set while open, remembered while closed).
  void set_dtr_enable(bool on);
  void set_rts_enable(bool on);

  // The receive event: called from poll_events() with kEvReceive.
  void on_comm(std::function<void(int event)> handler) { handler_ = std::move(handler); }
  // Fires the receive event when RThreshold > 0 and at least RThreshold bytes
  // wait. An event loop calls this on every pass.
  void poll_events();

  // The underlying port while open (for tests and diagnostics).
  serial::Port* port() noexcept { return port_.get(); }

 private:
  void require_open() const;
  void apply_line();
  std::uint32_t output_wait_ms(std::size_t bytes) const;

  int port_number_ = 1;
  std::string settings_text_ = "9600,n,8,1";
  Settings settings_{};
  int in_size_ = 1024;
  int out_size_ = 512;
  int rthreshold_ = 0;
  int input_len_ = 0;
  InputMode input_mode_ = InputMode::Text;
  bool dtr_ = true;   // the control's defaults: DTR on, RTS off
  bool rts_ = false;
  std::unique_ptr<serial::Port> port_;
  std::function<void(int)> handler_;
};

}  // namespace pink::comm
