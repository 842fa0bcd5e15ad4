// The virtual pad's send schedule: the pieces a pad device asked to send,
// each at its own time. A batch's first piece is due its delay after the
// moment the batch was asked for, every later piece its delay after the
// piece before it; batches asked for at different moments run side by side,
// as a pad answers a request while it still streams pen points. Pure logic:
// times are milliseconds on the caller's monotonic clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "signpad/device.h"

namespace pink::vpad {

class Scheduler {
 public:
  // How much may wait at once; a batch that would pass either bound is
  // refused whole, so what is sent never has holes.
  struct Limits {
    std::size_t pieces = 65536;
    std::size_t bytes = 8u << 20;
  };

  Scheduler() = default;
  explicit Scheduler(Limits limits) : limits_(limits) {}

  // Schedules `batch` as asked for at `now`. False, with nothing scheduled,
  // when it does not fit the limits.
  bool add(std::uint64_t now, std::span<const signpad::Send> batch);

  // When the next piece is due; nothing when none waits.
  std::optional<std::uint64_t> next_due() const;

  // The pieces due at `now`, earliest first (pieces due at the same moment
  // in the order they were scheduled), taken off the schedule.
  std::vector<std::vector<std::uint8_t>> take_due(std::uint64_t now);

  std::size_t pending_pieces() const noexcept { return pieces_.size(); }
  std::size_t pending_bytes() const noexcept { return bytes_; }

 private:
  using Key = std::pair<std::uint64_t, std::uint64_t>;  // due time, order of scheduling
  Limits limits_;
  std::map<Key, std::vector<std::uint8_t>> pieces_;
  std::size_t bytes_ = 0;
  std::uint64_t sequence_ = 0;
};

}  // namespace pink::vpad
