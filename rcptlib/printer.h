// The receipt printer connection of rcptlib: one connection record per port
// kind (serial port, plain device, USB printer, network printer), the current
// kind, and the per-kind write operations that string and bitmap printing
// share. One instance serves the whole process, as the library's callers
// expect: an open, any number of prints, one close.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/device.h"
#include "platform/serial.h"

namespace pink::net {
class Socket;
}
namespace pink::usbprint {
class SetupLibrary;
}

namespace pink::rcptlib {

enum class Kind : int { Serial = 0, Plain = 1, Usb = 2, Network = 3 };

// The work buffer of string printing holds 4096 bytes with the terminating
// NUL: longer text goes out in pieces of at most this many bytes.
inline constexpr std::size_t kTextPiece = 4095;
// The network printer's port.
inline constexpr std::uint16_t kNetworkPort = 9100;

// How the printer reaches its devices; tests substitute recording fakes.
struct Devices {
  std::function<serial::OpenResult(std::string_view name)> open_serial = serial::open;
  std::function<device::OpenResult(std::string_view name, device::Access access)> open_device =
      device::open;
};

class Printer {
 public:
  explicit Printer(Devices devices = {});
  ~Printer();
  Printer(const Printer&) = delete;
  Printer& operator=(const Printer&) = delete;

  // OpenPort: "USB..." a USB printer, "COM..." a serial port (both prefixes
  // compared case-sensitively), anything else a plain device opened under the
  // name as given. 0 opened, -1 failed (the attempt's connection closed again).
  int open_port(std::string_view name, std::int32_t baud);
  // OpenTcpip: a network printer at a dotted IPv4 address, port 9100.
  int open_tcpip(std::string_view address);
  // ClosePort / CloseTcpip: closes the connection of the current kind.
  void close();

  // The write operation of the current kind (shared with bitmap printing).
  // Serial and USB: 1 written, 0 not open or failed. Plain device: the number
  // of bytes written. Network: 1 sent, 0 not connected, -1 socket error.
  long write(std::span<const std::uint8_t> bytes);

  // PrintString and the length-taking block print: the bytes in pieces of at
  // most kTextPiece, each through write().
  void print_text(std::span<const std::uint8_t> bytes);

  // PrintBitmap / PrintBitmapTcpip with the file's bytes already read. An
  // unreadable file or an image too large for the work area sends nothing.
  void print_bitmap(std::span<const std::uint8_t> file, std::int32_t justification,
                    std::int32_t size_mode, bool tcpip_variant);

  Kind kind() const noexcept { return kind_; }

 private:
  struct SerialConn;
  struct PlainConn;
  struct UsbConn;
  struct NetConn;

  bool open_serial(std::string_view name, std::int32_t baud);
  bool open_plain(std::string_view name);
  bool open_usb();
  bool open_network(std::string_view address);

  void close_kind(Kind k);

  long write_serial(std::span<const std::uint8_t> bytes);
  long write_plain(std::span<const std::uint8_t> bytes);
  long write_usb(std::span<const std::uint8_t> bytes);
  long write_network(std::span<const std::uint8_t> bytes);

  Devices devices_;
  Kind kind_ = Kind::Serial;
  std::unique_ptr<SerialConn> serial_;
  std::unique_ptr<PlainConn> plain_;
  std::unique_ptr<UsbConn> usb_;
  std::unique_ptr<NetConn> net_;
};

// The library's one printer.
Printer& printer();

// The serial write time-out multiplier for a baud rate: 19200 / baud in whole
// milliseconds per byte (0 from 38400 up).
std::uint32_t write_multiplier(std::int32_t baud);
// True for the rates the library accepts (1200 ... 115200, not 14400).
bool accepted_baud(std::int32_t baud);

}  // namespace pink::rcptlib
