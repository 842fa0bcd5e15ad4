#include "tools/vhandy/terminal.h"

#include <chrono>

#include "platform/text.h"

namespace pink::vhandy {
namespace {

constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr char kEnq = 0x05;
constexpr char kAck = 0x06;
constexpr char kEndMarker = '>';
constexpr std::uint32_t kSliceMs = 50;

using Clock = std::chrono::steady_clock;

}  // namespace

Records records_from(std::string_view bytes) {
  Records r;
  std::size_t line_number = 0;
  while (!bytes.empty()) {
    ++line_number;
    const auto lf = bytes.find('\n');
    std::string_view line = bytes.substr(0, lf);
    bytes.remove_prefix(lf == std::string_view::npos ? bytes.size() : lf + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find(kEtx) != std::string_view::npos) {
      r.records.clear();
      r.error = "line " + std::to_string(line_number) + " holds ETX (0x03), which would end its record early";
      return r;
    }
    r.records.emplace_back(line);
  }
  return r;
}

std::string shown(std::string_view cp949) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (const char c : cp949) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || c == '<') {
      out += '<';
      out += kHex[b >> 4];
      out += kHex[b & 0x0F];
      out += '>';
    } else {
      out += c;
    }
  }
  return text::cp949_to_utf8(out);
}

Terminal::Terminal(testkit::VirtualPort& port, std::ostream& log, Timing timing,
                   std::function<std::string()> interrupted)
    : port_(port), log_(log), timing_(timing), interrupted_(std::move(interrupted)) {}

// Sends the bytes and waits for one ACK. Bytes other than the ACK are
// reported and make the exchange a failure.
bool Terminal::send_and_wait(std::string_view bytes, const std::string& what, std::uint32_t wait_ms) {
  port_.write(bytes);
  log_ << "-> " << what << std::endl;
  const auto deadline = Clock::now() + std::chrono::milliseconds(wait_ms);
  for (;;) {
    const std::string got = port_.read_available(kSliceMs);
    const auto ack = got.find(kAck);
    const std::string stray = got.substr(0, ack) + (ack == std::string::npos ? "" : got.substr(ack + 1));
    if (!stray.empty()) {
      unexpected_ = true;
      log_ << "<- unexpected " << shown(stray) << std::endl;
    }
    if (ack != std::string::npos) {
      log_ << "<- ACK" << std::endl;
      return true;
    }
    if (const std::string why = interrupted_ ? interrupted_() : std::string(); !why.empty()) {
      log_ << "vhandy: " << why << " while waiting for the ACK of " << what << std::endl;
      return false;
    }
    if (Clock::now() >= deadline) {
      log_ << "vhandy: no ACK for " << what << " within " << wait_ms << " ms" << std::endl;
      return false;
    }
  }
}

bool Terminal::play(const std::vector<std::string>& records) {
  if (!send_and_wait(std::string_view(&kEnq, 1), "ENQ", timing_.first_ack_ms)) return false;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::string frame = kStx + records[i] + kEtx;
    const std::string what = "record " + std::to_string(i + 1) + " of " + std::to_string(records.size()) +
                             ": STX " + shown(records[i]) + " ETX";
    if (!send_and_wait(frame, what, timing_.ack_ms)) return false;
    ++acknowledged_;
  }
  if (!send_and_wait(std::string_view(&kEndMarker, 1), "end marker >", timing_.ack_ms)) return false;
  return !unexpected_;
}

}  // namespace pink::vhandy
