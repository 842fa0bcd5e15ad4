// The virtual pad without its port and clock: a family's pad device, the
// schedule of what it sends and the frame log. The program (main.cpp) moves
// bytes between it and the port and tells it the time. Pure logic.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "signpad/device.h"
#include "tools/vpad/framer.h"
#include "tools/vpad/scheduler.h"

namespace pink::vpad {

class VirtualPad {
 public:
  // The text a log line starts with for a moment (milliseconds on the pad's
  // clock), e.g. the local time "12:04:31.250".
  using Stamp = std::function<std::string(std::uint64_t now)>;
  // A unit the control sent is logged once the line has been quiet this long
  // after it without completing it.
  static constexpr std::uint64_t kQuietMs = 30;

  VirtualPad(std::unique_ptr<signpad::PadDevice> device, std::ostream& log, Stamp stamp,
             Scheduler::Limits limits = {});

  std::string_view family() const { return device_->family(); }

  // Bytes from the control, arrived at `now`: logged frame by frame, given
  // to the device, its answers scheduled.
  void received(std::uint64_t now, std::span<const std::uint8_t> bytes);

  // An operator's line. "help" lists the actions; anything else goes to the
  // device. What to tell the operator.
  std::string action(std::uint64_t now, std::string_view line);

  // The pieces due at `now`, each logged as sent; the caller writes them.
  std::vector<std::vector<std::uint8_t>> due(std::uint64_t now);

  // Logs a unit still open after kQuietMs without another byte.
  void idle(std::uint64_t now);

  // When due() or idle() next has something to do; nothing when neither has.
  std::optional<std::uint64_t> next_wakeup() const;

  // The operator's help: the family's actions and vpad's own.
  std::string help() const;

 private:
  void schedule(std::uint64_t now, const std::vector<signpad::Send>& sends);
  void log(std::uint64_t time, std::string_view direction, std::span<const std::uint8_t> bytes);

  std::unique_ptr<signpad::PadDevice> device_;
  std::ostream& log_;
  Stamp stamp_;
  Scheduler scheduler_;
  Framer framer_;
};

}  // namespace pink::vpad
