// How the virtual pad's log cuts the bytes a control sends into lines: one
// unit per line, whatever pieces the line delivered them in.
//   - a pad frame: STX, up to and including the first ETX from the fourth
//     byte on, then its check byte; or the 6-byte record STX B1 x y ETX LRC;
//   - a card reader frame: 'k' 00 00 length, the body, the XOR byte
//     (length + 6 bytes in all);
//   - a run of one other byte (a lone ACK, the five ESC of a stop).
// A unit that is still open when the line goes quiet is handed over as it
// is (flush), and none grows past kMaxUnit bytes. Pure logic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pink::vpad {

struct Unit {
  std::uint64_t time = 0;  // when its first byte arrived
  std::vector<std::uint8_t> bytes;
};

class Framer {
 public:
  static constexpr std::size_t kMaxUnit = 8192;

  // Bytes that arrived at `now`; the units they complete go to `out`.
  void feed(std::uint64_t now, std::span<const std::uint8_t> bytes, std::vector<Unit>& out);
  // Hands over the open unit, if any.
  void flush(std::vector<Unit>& out);

  bool holding() const noexcept { return !open_.bytes.empty(); }
  // When the last byte arrived (for the quiet time before a flush).
  std::uint64_t last_byte() const noexcept { return last_; }

 private:
  bool complete() const;
  bool ends_run(std::uint8_t next) const;

  Unit open_;
  std::uint64_t last_ = 0;
};

// "02 00 04 A0": the bytes in upper-case hexadecimal, space-separated.
std::string hex_line(std::span<const std::uint8_t> bytes);

}  // namespace pink::vpad
