#include "signpad/frame.h"

namespace pink::signpad {

std::uint8_t lrc(std::span<const std::uint8_t> frame) {
  std::uint8_t x = 0;
  for (std::size_t i = 1; i < frame.size(); ++i) x ^= frame[i];
  return x;
}

Bytes frame(std::uint8_t command, std::span<const std::uint8_t> data) {
  const std::size_t length = data.size() + 2;  // command, data, ETX
  Bytes out;
  out.reserve(length + 4);
  out.push_back(kStx);
  out.push_back(static_cast<std::uint8_t>(length >> 8));
  out.push_back(static_cast<std::uint8_t>(length & 0xFF));
  out.push_back(command);
  out.insert(out.end(), data.begin(), data.end());
  out.push_back(kEtx);
  out.push_back(lrc(out));
  return out;
}

std::uint8_t quill_lrc(std::span<const std::uint8_t> frame) {
  if (frame.empty()) return 0x20;
  std::uint8_t x = frame[0] == kStx ? 0 : 13;
  for (std::size_t i = 1; i < frame.size(); ++i) x ^= frame[i];
  return static_cast<std::uint8_t>(x | 0x20);
}

std::string field(std::string_view cp949, std::size_t width) {
  std::size_t end = cp949.size();
  while (end > 0 && cp949[end - 1] == ' ') --end;
  std::string s(cp949.substr(0, std::min(end, width)));
  s.resize(width, ' ');
  return s;
}

void append(Bytes& out, std::string_view bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

}  // namespace pink::signpad
