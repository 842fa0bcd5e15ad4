#include "handheld/receiver.h"

#include <cmath>

#include "handheld/controls.h"
#include "platform/text.h"

namespace pink::handheld {

bool starts_transfer(std::string_view input) { return input.size() == 1 && input[0] == kEnq; }

void Receiver::reset() {
  buffer_.clear();
  done_ = false;
}

void Receiver::feed(std::string_view input) { buffer_.append(input); }

std::vector<Action> Receiver::step() {
  if (buffer_.empty() || done_) return {};
  if (buffer_.front() == kAck) {
    buffer_.erase(0, 1);
    return {Action{Action::Kind::SendAck, {}}};
  }
  if (buffer_.front() == kEndMarker) {
    buffer_.clear();
    done_ = true;
    return {Action{Action::Kind::SendAck, {}}, Action{Action::Kind::Done, {}}};
  }
  // ETX is below every trail byte of cp949, so a byte search never finds the
  // second half of a double-byte character.
  const auto etx = buffer_.find(kEtx);
  if (etx == std::string::npos) return {};
  const std::size_t first = etx == 0 ? 0 : text::char_length_at(buffer_, 0);
  std::string record = first < etx ? buffer_.substr(first, etx - first) : std::string();
  buffer_.erase(0, etx + 1);
  std::vector<Action> actions;
  if (!text::trim(record).empty()) actions.push_back(Action{Action::Kind::Record, std::move(record)});
  actions.push_back(Action{Action::Kind::SendAck, {}});
  return actions;
}

bool Pause::passed(double now) {
  if (std::fabs(now - start_) > kWrapSeconds) start_ = now;
  return now > start_ + seconds_;
}

double Pause::left(double now) const {
  if (std::fabs(now - start_) > kWrapSeconds) return seconds_;
  const double rest = start_ + seconds_ - now;
  return rest > 0 ? rest : 0;
}

}  // namespace pink::handheld
