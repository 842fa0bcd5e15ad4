// Device files: the parallel port and plain devices opened by name.
//
// "Lpt1:", "LPT1:", "LPT1" (any case, with or without the colon) name the
// first parallel port: $PINK_LPT1 or /dev/lp0 on Linux, "LPT1" on Windows
// ("LPTn" likewise). Any other name is opened as a path. On Linux a regular
// file (for tests and capture) is appended to and created when missing
// (never under /dev); device nodes and FIFOs are held exclusively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace pink::device {

enum class Access { Write, ReadWrite };

class File {
 public:
  virtual ~File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Writes within `window_ms` (clock::kWaitForever: blocking until done); returns the
  // number of bytes written, or -1 when the write call fails at once. A write
  // under way may run on for 1 ms per byte of a block of 512 bytes or more
  // beyond the window (a slow printer takes in a large block at all).
  virtual long write(std::span<const std::uint8_t> bytes, std::uint32_t window_ms) = 0;
  long write(std::string_view bytes, std::uint32_t window_ms = clock::kWaitForever);
  // Discards what waits in either direction (devices that have queues).
  virtual void purge() = 0;

  const std::string& path() const noexcept { return path_; }

 protected:
  explicit File(std::string path) : path_(std::move(path)) {}

 private:
  std::string path_;
};

struct OpenResult {
  std::unique_ptr<File> file;  // null on failure
  int error = 0;               // Failure number on failure (52, 53, 68, 70, 75, 76)
  std::string text;            // what went wrong (the OS path and the OS's reason)
};

// Opens the device or file for exclusive output (or read and write).
OpenResult open(std::string_view name, Access access = Access::Write);

// The OS path a name stands for ("/dev/lp0", "$PINK_LPT1", the name itself).
std::string resolve(std::string_view name);

}  // namespace pink::device
