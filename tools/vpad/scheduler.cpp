#include "tools/vpad/scheduler.h"

namespace pink::vpad {

bool Scheduler::add(std::uint64_t now, std::span<const signpad::Send> batch) {
  std::size_t bytes = 0;
  for (const signpad::Send& s : batch) bytes += s.bytes.size();
  if (batch.size() > limits_.pieces - pieces_.size() || bytes > limits_.bytes - bytes_) return false;
  std::uint64_t due = now;
  for (const signpad::Send& s : batch) {
    due += s.delay_ms;
    pieces_.emplace(Key{due, sequence_++}, s.bytes);
  }
  bytes_ += bytes;
  return true;
}

std::optional<std::uint64_t> Scheduler::next_due() const {
  if (pieces_.empty()) return std::nullopt;
  return pieces_.begin()->first.first;
}

std::vector<std::vector<std::uint8_t>> Scheduler::take_due(std::uint64_t now) {
  std::vector<std::vector<std::uint8_t>> due;
  while (!pieces_.empty() && pieces_.begin()->first.first <= now) {
    auto node = pieces_.extract(pieces_.begin());
    bytes_ -= node.mapped().size();
    due.push_back(std::move(node.mapped()));
  }
  return due;
}

}  // namespace pink::vpad
