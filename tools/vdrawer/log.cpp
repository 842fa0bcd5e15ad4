#include "tools/vdrawer/log.h"

#include <cstdio>

namespace pink::vdrawer {

std::string format_ms(double ms) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", ms);
  return buf;
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const std::uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
  return out;
}

std::string request_line(double t_ms, const devctl::frame::Request& request, const Outcome& outcome) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(request.code));
  std::string line = format_ms(t_ms) + " request code=" + code + " role=" + outcome.role +
                     " in=" + hex(request.input) + " out=" + std::to_string(request.output_size);
  if (!outcome.accepted) return line + " refused why=" + outcome.why;
  line += " accepted";
  if (!outcome.output.empty()) {
    char status[16];
    std::snprintf(status, sizeof status, " status=0x%02X", static_cast<unsigned>(outcome.output[0]));
    line += status;
  }
  return line;
}

std::string event_line(const Event& e) { return format_ms(e.t_ms) + " " + e.what; }

}  // namespace pink::vdrawer
