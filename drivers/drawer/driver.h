// The cash drawer driver behind the exports of drawerio and cashbox: one
// process-wide device handle per library, the open-drawer sequence and the
// status request, as the family's row gives them.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "drivers/drawer/family.h"
#include "platform/devctl.h"

namespace pink::drawer {

// Runs the family's open-drawer sequence over `device` (null: no device, so
// every request is refused), each request with the family's drive input and
// no output, each followed by its wait. The sequence runs to its end
// whatever single requests return; true when the last one was accepted.
bool run_open_sequence(devctl::Device* device, const Family& f);

// Sends the status request (the family's 4 input bytes, 1 byte of output).
// The byte as the device gave it, or nothing when the request was refused or
// the device accepted it without handing back a byte.
std::optional<std::uint8_t> read_status(devctl::Device* device, const Family& f);

class Driver {
 public:
  explicit Driver(const Family& f) : family_(f) {}
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  // Opens the family's device: 1 opened, 0 failed. A handle from an earlier
  // open is closed first (nothing else could ever reach it again).
  std::int32_t open();
  // The open-drawer sequence: 1 when its last request was accepted, else 0.
  std::int32_t open_drawer();
  // The status byte (0..255); 0 when the request is refused.
  std::int32_t status();
  // 1 when an open device was closed; 0 when there was none (never opened,
  // the open failed, or closed already).
  std::int32_t close();

 private:
  const Family& family_;
  // The libraries are documented for one caller thread; the lock keeps a
  // caller that breaks that rule from closing the device under a request.
  std::mutex mutex_;
  std::unique_ptr<devctl::Device> device_;
};

}  // namespace pink::drawer
