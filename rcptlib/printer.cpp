#include "rcptlib/printer.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/clock.h"
#include "platform/device.h"
#include "platform/msgbox.h"
#include "platform/osinfo.h"
#include "platform/serial.h"
#include "platform/socket.h"
#include "platform/usbprint.h"
#include "rcptlib/bitimage.h"

namespace pink::rcptlib {
namespace {

constexpr std::array kBauds{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

// Serial: 64-byte chunks, each waited for up to one second.
constexpr std::size_t kSerialChunk = 64;
constexpr std::uint32_t kSerialCompletionMs = 1000;
// Plain devices and USB: a write pending longer than this is cancelled.
constexpr std::uint32_t kWindowMs = 500;
// USB: 64-byte pieces with a short pause after each.
constexpr std::size_t kUsbPiece = 64;
constexpr std::uint32_t kUsbPauseMs = 10;
constexpr std::uint32_t kQueueBytes = 1024;
constexpr std::uint32_t kNetTimeoutMs = 1000;

}  // namespace

struct Printer::SerialConn {
  std::unique_ptr<serial::Port> port;
  bool open = false;
};

struct Printer::PlainConn {
  std::unique_ptr<device::File> file;
  bool open = false;
  bool old_platform = false;
};

struct Printer::UsbConn {
  std::unique_ptr<usbprint::SetupLibrary> setup;
  std::unique_ptr<device::File> file;
  bool open = false;
};

struct Printer::NetConn {
  std::unique_ptr<net::Socket> socket;
  bool connected = false;
  std::string address;
  std::uint16_t port = kNetworkPort;
};

Printer::Printer(Devices devices)
    : devices_(std::move(devices)),
      serial_(std::make_unique<SerialConn>()),
      plain_(std::make_unique<PlainConn>()),
      usb_(std::make_unique<UsbConn>()),
      net_(std::make_unique<NetConn>()) {
  plain_->old_platform = osinfo::old_platform();
}

Printer::~Printer() = default;

Printer& printer() {
  static Printer instance;
  return instance;
}

bool accepted_baud(std::int32_t baud) {
  return std::find(kBauds.begin(), kBauds.end(), baud) != kBauds.end();
}

std::uint32_t write_multiplier(std::int32_t baud) {
  return baud > 0 ? static_cast<std::uint32_t>(19200 / baud) : 0;
}

int Printer::open_port(std::string_view name, std::int32_t baud) {
  const std::string_view prefix = name.substr(0, 3);
  bool ok = false;
  if (prefix == "USB") {
    kind_ = Kind::Usb;
    ok = open_usb();
  } else if (prefix == "COM") {
    kind_ = Kind::Serial;
    ok = open_serial(name, baud);
  } else {
    kind_ = Kind::Plain;
    ok = open_plain(name);
  }
  if (!ok) {
    close_kind(kind_);
    return -1;
  }
  return 0;
}

bool Printer::open_serial(std::string_view name, std::int32_t baud) {
  auto opened = devices_.open_serial(name);
  if (opened.status != serial::OpenStatus::Ok) {
    msgbox::note("OpenPort: cannot open " + opened.text, "rcptlib");
    return false;
  }
  serial_->port = std::move(opened.port);
  // The rate is checked after the device was opened, so that a refused rate
  // closes it again.
  if (!accepted_baud(baud)) {
    msgbox::note("OpenPort: " + std::string(name) + ": " + std::to_string(baud) + " is not a speed the printer takes",
                 "rcptlib");
    return false;
  }
  serial::Port& p = *serial_->port;
  p.set_queues(kQueueBytes, kQueueBytes);
  p.purge(serial::kPurgeAll);
  serial::Timeouts t;
  t.read_interval = 50;
  t.read_total_multiplier = 0;
  t.read_total_constant = 100;
  t.write_total_multiplier = write_multiplier(baud);
  t.write_total_constant = 0;
  p.set_timeouts(t);
  serial::LineSettings line;
  p.get_line(line);
  line.baud = static_cast<std::uint32_t>(baud);
  line.data_bits = 8;
  line.parity = serial::Parity::None;
  line.stop_bits = serial::StopBits::One;
  line.parity_check = false;
  line.cts_flow = false;
  line.dsr_flow = false;
  line.dtr_on = true;
  line.xon_xoff_out = false;
  line.xon_xoff_in = false;
  line.rts_on = true;
  if (!p.set_line(line)) return false;
  serial_->open = true;
  return true;
}

bool Printer::open_plain(std::string_view name) {
  if (plain_->file) {
    plain_->open = true;
    return true;
  }
  auto opened = devices_.open_device(name, device::Access::ReadWrite);
  if (!opened.file) {
    msgbox::note("OpenPort: cannot open " + std::string(name) + (opened.text.empty() ? "" : ": " + opened.text),
                 "rcptlib");
    return false;
  }
  plain_->file = std::move(opened.file);
  plain_->file->purge();
  plain_->open = true;
  return true;
}

bool Printer::open_usb() {
  if (!usb_->setup) usb_->setup = usbprint::load();
  if (!usb_->setup) return false;
  auto path = usb_->setup->find_printer(plain_->old_platform);
  if (!path) return false;
  const std::string name = usb_->setup->printer_name(*path);
  if (name.empty()) return false;
  auto opened = devices_.open_device(name, device::Access::ReadWrite);
  if (!opened.file) return false;
  usb_->file = std::move(opened.file);
  usb_->open = true;
  return true;
}

int Printer::open_tcpip(std::string_view address) {
  kind_ = Kind::Network;
  if (!open_network(address)) {
    close_kind(Kind::Network);
    return -1;
  }
  return 0;
}

bool Printer::open_network(std::string_view address) {
  int major = 0, minor = 0;
  if (!net::startup(major, minor)) {
    msgbox::show("Unable to start TCP/IP stack", "WSAStartup error");
    return false;
  }
  if (major != 2 || minor != 2) {
    msgbox::show("wrong version of protocol stack, need 2.0", "WSAStartup Version Warning");
    if (!net::cleanup()) {
      char text[64];
      std::snprintf(text, sizeof text, "WSACleanup, error %d", net::last_error());
      msgbox::show(text, "WSACleanup error");
    }
    return false;
  }
  // A dotted address only: no name lookup.
  if (!net::parse_ipv4(address)) return false;
  auto socket = net::connect(address, kNetworkPort);
  if (!socket) return false;
  socket->set_timeouts(kNetTimeoutMs, kNetTimeoutMs);
  net_->socket = std::move(*socket);
  net_->connected = true;
  net_->address = std::string(address);
  net_->port = kNetworkPort;
  return true;
}

void Printer::close() { close_kind(kind_); }

void Printer::close_kind(Kind k) {
  switch (k) {
    case Kind::Serial:
      if (serial_->open || serial_->port) serial_->port.reset();
      serial_->open = false;
      break;
    case Kind::Plain:
      plain_->file.reset();
      plain_->open = false;
      break;
    case Kind::Usb:
      if (usb_->setup) {
        // A single 00 byte closes the printer's job before the device-setup
        // functions are let go.
        static constexpr std::uint8_t kZero[] = {0};
        if (usb_->open && usb_->file) usb_->file->write(kZero, kWindowMs);
        usb_->setup.reset();
      }
      if (usb_->open && usb_->file) usb_->file->purge();
      usb_->file.reset();
      usb_->open = false;
      break;
    case Kind::Network:
      net_->socket.reset();
      net_->connected = false;
      break;
  }
}

long Printer::write(std::span<const std::uint8_t> bytes) {
  switch (kind_) {
    case Kind::Serial:
      return write_serial(bytes);
    case Kind::Plain:
      return write_plain(bytes);
    case Kind::Usb:
      return write_usb(bytes);
    case Kind::Network:
      return write_network(bytes);
  }
  return 0;
}

long Printer::write_serial(std::span<const std::uint8_t> bytes) {
  if (!serial_->open || !serial_->port) return 0;
  serial::Port& p = *serial_->port;
  for (std::size_t pos = 0; pos < bytes.size(); pos += kSerialChunk) {
    const auto chunk = bytes.subspan(pos, std::min(kSerialChunk, bytes.size() - pos));
    const auto r = p.write(chunk, kSerialCompletionMs);
    // A wait that times out, a failed completion and a refused write all end
    // the write: the rest is dropped rather than retried without end.
    if (r.status != serial::WriteStatus::Completed) {
      p.purge(serial::kPurgeAll);
      return 0;
    }
  }
  p.purge(serial::kPurgeAll);
  return 1;
}

long Printer::write_plain(std::span<const std::uint8_t> bytes) {
  if (!plain_->open || !plain_->file) return 0;
  if (plain_->old_platform) {
    const long n = plain_->file->write(bytes, clock::kWaitForever);
    return n == static_cast<long>(bytes.size()) ? 1 : 0;
  }
  // The device allows a block of 512 bytes or more 1 ms per byte beyond the window.
  const long n = plain_->file->write(bytes, kWindowMs);
  return n < 0 ? 0 : n;
}

long Printer::write_usb(std::span<const std::uint8_t> bytes) {
  if (!usb_->open || !usb_->file) return 0;
  for (std::size_t pos = 0; pos < bytes.size(); pos += kUsbPiece) {
    const auto piece = bytes.subspan(pos, std::min(kUsbPiece, bytes.size() - pos));
    // Each piece has its own window; a piece that does not go out in time
    // (cancelled) or is refused fails the call.
    if (usb_->file->write(piece, kWindowMs) != static_cast<long>(piece.size())) return 0;
    clock::sleep_ms(kUsbPauseMs);
  }
  return 1;
}

long Printer::write_network(std::span<const std::uint8_t> bytes) {
  if (!net_->connected || !net_->socket) return 0;
  if (bytes.empty()) return 1;
  return net_->socket->send(bytes) < 0 ? -1 : 1;
}

void Printer::print_text(std::span<const std::uint8_t> bytes) {
  for (std::size_t pos = 0; pos < bytes.size(); pos += kTextPiece) {
    write(bytes.subspan(pos, std::min(kTextPiece, bytes.size() - pos)));
  }
}

void Printer::print_bitmap(std::span<const std::uint8_t> file, std::int32_t justification,
                           std::int32_t size_mode, bool tcpip_variant) {
  BitImage image;
  if (convert(file, justification, size_mode, image) != ConvertError::None) return;

  // The raster goes out one byte per write on the serial port (both calls)
  // and, for the network variant, on a plain device; the first byte that
  // fails ends the call before the print command.
  const bool byte_by_byte =
      kind_ == Kind::Serial || (kind_ == Kind::Plain && tcpip_variant);
  write(image.header);
  if (byte_by_byte) {
    for (std::size_t i = 0; i < image.raster.size(); ++i) {
      if (write(std::span(image.raster).subspan(i, 1)) <= 0) return;
    }
  } else {
    write(image.raster);
  }
  write(image.print_command);
  write(image.justification);
}

}  // namespace pink::rcptlib
