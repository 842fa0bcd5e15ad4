// drawerd's bridge from the drawer requests to a receipt printer's drawer
// port: the release-on request of the open-drawer sequence becomes one
// drawer pulse (ESC p), the status request a real-time status query
// (DLE EOT 1) whose drawer bit becomes the open bit of the status byte.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "drivers/drawer/family.h"
#include "platform/common/devctl_frame.h"
#include "tools/drawerd/link.h"
#include "tools/vdrawer/log.h"

namespace pink::drawerd {

struct BridgeOptions {
  const drawer::Family* family = nullptr;  // null: the codes of every family
  std::set<std::uint32_t> refused;
  int pin = 2;                           // drawer kick-out connector pin: 2 or 5
  std::uint32_t pulse_ms = 50;           // on time of the pulse, 2 .. 510 ms
  bool open_when_high = true;            // pin 3 high means the drawer is open
  std::uint32_t status_timeout_ms = 500;  // the printer's answer to DLE EOT
  std::uint32_t write_timeout_ms = 1000;
  // Keep the printer line open between requests. By default it is opened
  // for each request and closed after it, so that the programs printing on
  // the same printer can open the line in between.
  bool hold_line = false;
};

// ESC p m t1 t2 for the pin and on time: t1 = on time / 2 (at least 1,
// at most 255), off time t2 = 4 x t1 (at most 255), which keeps the drive's
// duty at the 20 % printers ask for.
std::vector<std::uint8_t> pulse_command(int pin, std::uint32_t pulse_ms);

// The status byte of this system for a printer status byte: the open bit
// from pin 3 of the drawer connector. Nothing when the byte cannot be a
// printer status byte.
std::optional<std::uint8_t> drawer_status(std::uint8_t printer_status, bool open_when_high);

// Opens (and after a failure reopens) the line to the printer.
using LinkOpener = std::function<std::unique_ptr<PrinterLink>(std::string& error)>;
// Receives a line for the log ("printer send=1B70001964").
using Note = std::function<void(const std::string& line)>;

class Bridge {
 public:
  Bridge(BridgeOptions options, LinkOpener opener, Note note);

  // Takes a line that is already open (else the first request opens one).
  void adopt(std::unique_ptr<PrinterLink> link) { link_ = std::move(link); }

  // Answers one request. Drive requests other than release-on answer with
  // the outcome of the latest pulse (accepted before the first one), so the
  // last request of a sequence tells whether its pulse went out.
  vdrawer::Outcome handle(const devctl::frame::Request& request);

  // Operator commands: one pulse; one status query (the byte, or nothing).
  bool pulse();
  std::optional<std::uint8_t> query_status();

 private:
  PrinterLink* link();
  void drop_link(const std::string& why);
  // Closes the line after a request unless it is held.
  void done_with_link();
  std::optional<std::uint8_t> query_on_link(PrinterLink& l);

  BridgeOptions o_;
  LinkOpener opener_;
  Note note_;
  std::unique_ptr<PrinterLink> link_;
  bool last_pulse_ok_ = true;
};

}  // namespace pink::drawerd
