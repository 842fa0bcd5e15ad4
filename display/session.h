// The process-wide state of a display driver library: the open flag and the
// serial line, and the three calls of the library on it. Every call keeps its
// documented result whatever happens inside (no exception leaves it).
#pragma once

#include <cstdint>
#include <span>

#include "display/driver.h"
#include "serialline/serialline.h"

namespace pink::display {

// PdsOpen's results.
inline constexpr std::int32_t kOpenFailed = 0;
inline constexpr std::int32_t kOpened = 1;
inline constexpr std::int32_t kAlreadyOpen = 2;
// PdsWrite's results.
inline constexpr std::int32_t kWriteRefused = 0;
inline constexpr std::int32_t kWritten = 1;
// PdsClose's result.
inline constexpr std::int32_t kClosed = 1;

class Session {
 public:
  explicit Session(const Driver& driver) noexcept : driver_(driver) {}

  // 1 opened; 2 already open (nothing done); 0 the port could not be opened
  // or set up (the library stays closed). The line record is the driver's
  // defaults at every open.
  std::int32_t open() noexcept;

  // ldisp's PdsWrite: the caller's text and its 0x00 (see raw_write).
  std::int32_t write_raw(const char* text, std::int32_t length) noexcept;
  // ldisp2's and gdisp's PdsWrite: cursor command and text field.
  std::int32_t write_line(std::int32_t line, const char* text) noexcept;

  // Closes the port if open; always 1.
  std::int32_t close() noexcept;

  bool is_open() const noexcept { return line_.is_open(); }

 private:
  // 1 when the write completed or its wait ended; 0 when refused or closed.
  std::int32_t send(std::span<const std::uint8_t> bytes) noexcept;

  const Driver& driver_;
  serialline::Line line_;
};

}  // namespace pink::display
