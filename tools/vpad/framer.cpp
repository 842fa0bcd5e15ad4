#include "tools/vpad/framer.h"

#include <algorithm>

namespace pink::vpad {
namespace {

constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kEtx = 0x03;
constexpr std::uint8_t kCardFrame = 'k';
constexpr std::uint8_t kPointRecord = 0xB1;
constexpr std::size_t kPointRecordBytes = 6;
constexpr std::size_t kCardFrameOverhead = 6;  // 'k' 00 00 length ... XOR
constexpr std::size_t kFirstEtx = 3;           // the length bytes are never taken for ETX

}  // namespace

bool Framer::complete() const {
  const auto& b = open_.bytes;
  if (b.size() >= kMaxUnit) return true;
  switch (b.front()) {
    case kStx:
      if (b.size() >= 2 && b[1] == kPointRecord) return b.size() == kPointRecordBytes;
      // The last byte is the check byte after an ETX.
      return b.size() >= kFirstEtx + 2 && b[b.size() - 2] == kEtx &&
             std::find(b.begin() + kFirstEtx, b.end() - 1, kEtx) == b.end() - 2;
    case kCardFrame:
      return b.size() >= 4 && b.size() == b[3] + kCardFrameOverhead;
    default:
      return false;  // a run ends when another byte comes
  }
}

bool Framer::ends_run(std::uint8_t next) const {
  const auto& b = open_.bytes;
  return !b.empty() && b.front() != kStx && b.front() != kCardFrame && next != b.front();
}

void Framer::feed(std::uint64_t now, std::span<const std::uint8_t> bytes, std::vector<Unit>& out) {
  for (const std::uint8_t byte : bytes) {
    if (ends_run(byte)) flush(out);
    if (open_.bytes.empty()) open_.time = now;
    open_.bytes.push_back(byte);
    if (complete()) flush(out);
  }
  if (!bytes.empty()) last_ = now;
}

void Framer::flush(std::vector<Unit>& out) {
  if (open_.bytes.empty()) return;
  out.push_back(std::move(open_));
  open_ = Unit{};
}

std::string hex_line(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string s;
  s.reserve(bytes.size() * 3);
  for (const std::uint8_t b : bytes) {
    if (!s.empty()) s += ' ';
    s += kDigits[b >> 4];
    s += kDigits[b & 0x0F];
  }
  return s;
}

}  // namespace pink::vpad
