// The barcode framing of the scanner driver, as pure logic over the chunks
// read from the port.
//
// A code is the bytes received up to a carriage return; the carriage return
// is not part of it, every other byte (a line feed too) is. The code line
// holds at most 99 bytes: the 99th appended byte ends the code as a carriage
// return would. Once a code ends, the rest of its chunk is dropped.
//
//   CarryScan: the reader thread's scan; the code line in progress carries
//     over from one chunk to the next, and each chunk yields at most one code.
//   CallScan: one polling read; the code line starts empty, a code finished
//     later in the call replaces an earlier one, and an unfinished code is
//     dropped with the call.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace pink::scanio {

inline constexpr std::size_t kCodeMax = 99;             // bytes of text in a code
inline constexpr std::size_t kCodeBytes = kCodeMax + 1; // with its NUL: the caller's buffer
inline constexpr std::size_t kChunkMax = 80;            // bytes taken from the port at once
inline constexpr std::uint8_t kCodeEnd = 0x0D;          // carriage return

// A finished code: its text and a NUL behind it.
class Code {
 public:
  Code() = default;
  explicit Code(std::string_view text);
  std::string_view text() const noexcept { return {bytes_.data(), size_}; }
  // Text and NUL, size() + 1 bytes.
  const char* c_str() const noexcept { return bytes_.data(); }
  std::size_t size() const noexcept { return size_; }
  friend bool operator==(const Code& a, const Code& b) noexcept { return a.text() == b.text(); }

 private:
  std::array<char, kCodeBytes> bytes_{};
  std::size_t size_ = 0;
};

// The code line being received.
class CodeLine {
 public:
  // Takes one byte; true when it ended the code (a carriage return, or the
  // 99th byte appended).
  bool feed(std::uint8_t byte) noexcept;
  // Scans a chunk in order up to the end of a code; true when one ended
  // there (the rest of the chunk is not looked at).
  bool scan(std::span<const std::uint8_t> chunk) noexcept;
  Code code() const;
  std::size_t size() const noexcept { return size_; }
  void clear() noexcept { size_ = 0; }

 private:
  std::array<char, kCodeMax> text_{};
  std::size_t size_ = 0;
};

class CarryScan {
 public:
  // The code this chunk finished, if any; the code line then starts afresh.
  std::optional<Code> chunk(std::span<const std::uint8_t> bytes);
  std::size_t pending() const noexcept { return line_.size(); }

 private:
  CodeLine line_;
};

class CallScan {
 public:
  void chunk(std::span<const std::uint8_t> bytes);
  // The last code finished in the call, if any.
  const std::optional<Code>& last() const noexcept { return last_; }

 private:
  CodeLine line_;
  std::optional<Code> last_;
};

}  // namespace pink::scanio
