// The virtual cash drawer: a drawer whose release, energised for long
// enough, lets it spring open, and which closes again when told or after a
// set time. It answers the requests of both drawer families the way their
// kernel drivers would, checking each request's input and output size. Pure:
// the caller passes the time (milliseconds from any fixed start).
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "drivers/drawer/family.h"
#include "platform/common/devctl_frame.h"
#include "tools/vdrawer/log.h"

namespace pink::vdrawer {

struct ModelOptions {
  // The family whose device is served; null: the codes of every family.
  const drawer::Family* family = nullptr;
  // Codes refused whatever their input.
  std::set<std::uint32_t> refused;
  // How long the release must stay energised before the drawer opens.
  double release_ms = 25.0;
  // The drawer closes by itself this long after it opened (none: only when told).
  std::optional<double> close_after_ms;
};

// The checks a kernel driver makes before it acts on a request: a code it
// knows, of `family` (null: of any family), not among the `refused` codes,
// with the family's input bytes and room for the output. The outcome names
// the code's role and, for a refusal, why; an accepted outcome has no
// output yet.
Outcome check_request(const devctl::frame::Request& request, const drawer::Family* family,
                      const std::set<std::uint32_t>& refused);

class DrawerModel {
 public:
  explicit DrawerModel(ModelOptions options) : o_(std::move(options)) {}

  // Answers one request arriving at `now_ms`.
  Outcome handle(const devctl::frame::Request& request, double now_ms);
  // Brings the drawer up to `now_ms`: it opens once the release has been
  // energised long enough, and closes when its time is up.
  void advance(double now_ms);
  // Operator commands.
  void open(double now_ms, const std::string& by);
  void close(double now_ms, const std::string& by);

  // The status byte (PINK_DRAWER_STATUS_* bits) as of the last advance.
  std::uint8_t status() const;
  bool is_open() const noexcept { return open_; }
  bool energised() const noexcept { return energised_; }
  // When advance() has something to do next, if anything.
  std::optional<double> next_deadline() const;
  // What happened since the last call, in order.
  std::vector<Event> take_events();

 private:
  void drive(drawer::Role role, double now_ms);

  ModelOptions o_;
  bool open_ = false;
  bool energised_ = false;
  double energised_since_ = 0;
  double opened_at_ = 0;
  std::vector<Event> events_;
};

}  // namespace pink::vdrawer
