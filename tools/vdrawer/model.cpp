#include "tools/vdrawer/model.h"

#include <algorithm>

#include "pink/drawer.h"

namespace pink::vdrawer {
namespace {

bool same_bytes(const std::vector<std::uint8_t>& got, std::span<const std::uint8_t> want) {
  return std::equal(got.begin(), got.end(), want.begin(), want.end());
}

}  // namespace

Outcome check_request(const devctl::frame::Request& request, const drawer::Family* family,
                      const std::set<std::uint32_t>& refused) {
  Outcome out;
  const drawer::Meaning m = drawer::meaning_of(request.code);
  if (m.code == nullptr) {
    out.role = "unknown";
    out.why = "unknown-code";
    return out;
  }
  out.role = m.code->name;
  const drawer::Family& f = *m.family;
  const bool status = m.code->role == drawer::Role::Status;
  if (family != nullptr && family != &f) {
    out.why = "other-family";
  } else if (refused.count(request.code) != 0) {
    out.why = "refused-by-option";
  } else if (status ? !same_bytes(request.input, f.status_input)
                    : !same_bytes(request.input, f.drive_input)) {
    out.why = "bad-input";
  } else if (status && request.output_size < f.status_output_size) {
    out.why = "no-room";
  } else {
    out.accepted = true;
  }
  return out;
}

Outcome DrawerModel::handle(const devctl::frame::Request& request, double now_ms) {
  advance(now_ms);
  Outcome out = check_request(request, o_.family, o_.refused);
  if (!out.accepted) return out;
  const drawer::Role role = drawer::meaning_of(request.code).code->role;
  if (role == drawer::Role::Status) {
    out.output.push_back(status());
  } else {
    drive(role, now_ms);
  }
  return out;
}

void DrawerModel::drive(drawer::Role role, double now_ms) {
  if (role == drawer::Role::ReleaseOn && !energised_) {
    energised_ = true;
    energised_since_ = now_ms;
  } else if (role == drawer::Role::ReleaseOff) {
    energised_ = false;
  }
}

void DrawerModel::advance(double now_ms) {
  if (energised_ && !open_ && now_ms - energised_since_ >= o_.release_ms) {
    open(energised_since_ + o_.release_ms, "release");
  }
  if (open_ && o_.close_after_ms && now_ms - opened_at_ >= *o_.close_after_ms) {
    close(opened_at_ + *o_.close_after_ms, "timer");
  }
}

void DrawerModel::open(double now_ms, const std::string& by) {
  if (open_) return;
  open_ = true;
  opened_at_ = now_ms;
  events_.push_back({now_ms, "drawer open by=" + by});
}

void DrawerModel::close(double now_ms, const std::string& by) {
  if (!open_) return;
  open_ = false;
  // A release still energised must hold on for its full time again.
  if (energised_) energised_since_ = now_ms;
  events_.push_back({now_ms, "drawer closed by=" + by});
}

std::uint8_t DrawerModel::status() const {
  std::uint8_t s = 0;
  if (open_) s |= PINK_DRAWER_STATUS_OPEN;
  if (energised_) s |= PINK_DRAWER_STATUS_RELEASE;
  return s;
}

std::optional<double> DrawerModel::next_deadline() const {
  if (energised_ && !open_) return energised_since_ + o_.release_ms;
  if (open_ && o_.close_after_ms) return opened_at_ + *o_.close_after_ms;
  return std::nullopt;
}

std::vector<Event> DrawerModel::take_events() {
  std::vector<Event> out;
  out.swap(events_);
  return out;
}

}  // namespace pink::vdrawer
