#include "drivers/scanner/codeline.h"

#include <algorithm>

namespace pink::scanio {

Code::Code(std::string_view text) : size_(std::min(text.size(), kCodeMax)) {
  std::copy_n(text.data(), size_, bytes_.data());
  bytes_[size_] = '\0';
}

bool CodeLine::feed(std::uint8_t byte) noexcept {
  if (byte == kCodeEnd) return true;
  text_[size_++] = static_cast<char>(byte);
  return size_ == kCodeMax;
}

bool CodeLine::scan(std::span<const std::uint8_t> chunk) noexcept {
  for (const std::uint8_t b : chunk) {
    if (feed(b)) return true;
  }
  return false;
}

Code CodeLine::code() const { return Code(std::string_view(text_.data(), size_)); }

std::optional<Code> CarryScan::chunk(std::span<const std::uint8_t> bytes) {
  if (!line_.scan(bytes)) return std::nullopt;
  Code done = line_.code();
  line_.clear();
  return done;
}

void CallScan::chunk(std::span<const std::uint8_t> bytes) {
  if (!line_.scan(bytes)) return;
  last_ = line_.code();
  line_.clear();
}

}  // namespace pink::scanio
