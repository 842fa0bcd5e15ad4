// The request log of the drawer servers: one line per request or event,
// beginning with the time in milliseconds since the server started.
//
//   0.000 ready path=/run/pink/TevDraw2kKwDev family=drawerio
//   3.114 connect id=1
//   3.402 request code=0x9C40BC04 role=release-off in=0000000010 out=0 accepted
//  45.871 request code=0x9C407C00 role=status in=00000000 out=1 accepted status=0x01
//  46.002 request code=0x12345678 role=unknown in= out=0 refused why=unknown-code
//  38.512 drawer open by=release
//  48.120 disconnect id=1
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/common/devctl_frame.h"

namespace pink::vdrawer {

// How a server answered a request.
struct Outcome {
  bool accepted = false;
  std::vector<std::uint8_t> output;
  std::string role;  // "status", "release-on" ... or "unknown"
  std::string why;   // for a refusal, one word: "unknown-code", "bad-input" ...
};

// Something that happened to the drawer or a connection.
struct Event {
  double t_ms;
  std::string what;  // "drawer open by=release", "drawer closed by=command" ...
};

// "12.345": milliseconds with three decimals.
std::string format_ms(double ms);
// Bytes as upper-case hexadecimal digits without separators ("0000000010").
std::string hex(const std::vector<std::uint8_t>& bytes);

std::string request_line(double t_ms, const devctl::frame::Request& request, const Outcome& outcome);
std::string event_line(const Event& e);

}  // namespace pink::vdrawer
