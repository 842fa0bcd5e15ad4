#include "display/session.h"

#include <vector>

namespace pink::display {

std::int32_t Session::open() noexcept {
  if (line_.is_open()) return kAlreadyOpen;
  try {
    return line_.open(driver_.line) ? kOpened : kOpenFailed;
  } catch (...) {
    line_.close();
    return kOpenFailed;
  }
}

std::int32_t Session::send(std::span<const std::uint8_t> bytes) noexcept {
  try {
    return line_.write(bytes) ? kWritten : kWriteRefused;
  } catch (...) {
    return kWriteRefused;
  }
}

std::int32_t Session::write_raw(const char* text, std::int32_t length) noexcept {
  if (!line_.is_open()) return kWriteRefused;
  try {
    const std::vector<std::uint8_t> bytes = raw_write(bounded_text(text, kRawTextMax), length);
    return send(bytes);
  } catch (...) {
    return kWriteRefused;
  }
}

std::int32_t Session::write_line(std::int32_t line, const char* text) noexcept {
  if (!line_.is_open()) return kWriteRefused;
  try {
    const std::vector<std::uint8_t> bytes =
        formatted_write(driver_, line, bounded_text(text, driver_.field_bytes));
    return send(bytes);
  } catch (...) {
    return kWriteRefused;
  }
}

std::int32_t Session::close() noexcept {
  try {
    line_.close();
  } catch (...) {
  }
  return kClosed;
}

}  // namespace pink::display
