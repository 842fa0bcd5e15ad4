#include "platform/common/device_common.h"

#include "platform/device.h"

namespace pink::device {

long File::write(std::string_view bytes, std::uint32_t window_ms) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  return write(std::span<const std::uint8_t>(p, bytes.size()), window_ms);
}

namespace detail {

int lpt_number(std::string_view name) {
  if (!name.empty() && name.back() == ':') name.remove_suffix(1);
  if (name.size() != 4) return 0;
  auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
  if (upper(name[0]) != 'L' || upper(name[1]) != 'P' || upper(name[2]) != 'T') return 0;
  if (name[3] < '1' || name[3] > '9') return 0;
  return name[3] - '0';
}

std::uint64_t pending_limit_ms(std::uint32_t window_ms, std::size_t block_size) {
  std::uint64_t limit = window_ms;
  if (block_size >= 512) limit += block_size;
  return limit;
}

}  // namespace detail
}  // namespace pink::device
