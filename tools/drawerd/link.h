// The line to the receipt printer whose drawer port drives the drawer: a
// serial printer (COMn, through the platform serial port) or a printer
// device node such as /dev/usb/lp0. Linux only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace pink::drawerd {

class PrinterLink {
 public:
  virtual ~PrinterLink() = default;
  // Writes every byte within timeout_ms; false when that fails.
  virtual bool write(std::span<const std::uint8_t> bytes, std::uint32_t timeout_ms) = 0;
  // The next byte from the printer, waiting up to timeout_ms.
  virtual std::optional<std::uint8_t> read_byte(std::uint32_t timeout_ms) = 0;
  // Discards what the printer sent and nobody read yet.
  virtual void drop_input() = 0;
};

// Opens "COMn" (at `baud`, 8 data bits, no parity, one stop bit) or a device
// path; null with the reason in `error`.
std::unique_ptr<PrinterLink> open_link(const std::string& name, std::uint32_t baud, std::string& error);

}  // namespace pink::drawerd
