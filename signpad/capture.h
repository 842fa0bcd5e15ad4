// What the signature pads' pen points and signature data become: the point
// image drawn from live points, the 1086-byte signature bitmap file, the
// stylpad signature data chain, the "STYL2" signature string and the
// quillpad signature record. Pure functions over bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "crypto/des.h"

namespace pink::signpad {

inline constexpr int kPadWidth = 128;
inline constexpr int kPadHeight = 64;
inline constexpr std::size_t kImageBytes = 1024;
inline constexpr std::size_t kBitmapFileBytes = 1086;
inline constexpr std::size_t kBitmapHeaderBytes = 62;

// 64 rows of 16 bytes, row 0 on top, the top bit of a byte is its leftmost
// pixel, a set bit is ink.
using PointImage = std::array<std::uint8_t, kImageBytes>;
// stylpad's page image: 8 pages of 128 column bytes; bit n of byte
// [p * 128 + x] is row 8p + n of column x; a set bit is ink.
using PageImage = std::array<std::uint8_t, kImageBytes>;
using BitmapFile = std::array<std::uint8_t, kBitmapFileBytes>;

// A tallypad pen point (both coordinates non-zero): bit 7 - x mod 8 of byte
// (x + 128 (y - 1)) / 8, so pad row y is image row y - 1. A point whose bit
// would fall outside the image is not drawn. False when nothing was set.
bool set_tally_point(PointImage& image, int x, int y);

// A quillpad pen point (0 <= x < 128, 1 <= y < 64): pixel b = 128 y + x - 128
// and the pixel after it (two-pixel strokes; the next one may be column 0 of
// the next row; nothing past the image). False for a point outside.
bool set_quill_point(PointImage& image, int x, int y);

// The 1086-byte Windows bitmap (128 x 64, 1 bit per pixel, bottom-up rows,
// palette black then white, so ink is a 0 bit).
BitmapFile bitmap_file(const PointImage& image);

// The page image turned into a point image (row y, column x is bit y mod 8 of
// page byte (y / 8) * 128 + x).
PointImage from_pages(const PageImage& pages);

// The point image of a bitmap file's pixel rows (the reverse of bitmap_file),
// or nothing when the bytes are not such a file.
std::optional<PointImage> from_bitmap_file(std::span<const std::uint8_t> file);

// --- stylpad signature data -------------------------------------------------

enum class StylDecodeError {
  None,
  DataOutsideFrame,  // the data length reaches past the received frame
  BadLength,         // the BCD length is not a number from 0 to 1536
  RunDataShort,      // the run-coded data end before the length is reached
  ImageTooLong,      // zero-run decoding gives more than 1024 bytes
  ImageTooShort,     // ... or fewer
};

// The page image is all zeros unless `error` is None.
struct StylDecoded {
  StylDecodeError error = StylDecodeError::None;
  PageImage pages{};
};

// The whole chain of a B2 answer frame: the data length at frame bytes 20 and
// 21 (big-endian), the data from byte 22; unescape ('#' dropped, the next
// byte XOR 0x40); DES-ECB decryption of the whole 8-byte blocks under `key`;
// the BCD length of the run-coded image; run decoding; zero-run decoding into
// the 1024-byte page image.
StylDecoded decode_styl_signature(std::span<const std::uint8_t> frame, const crypto::des::Block& key);

// The other way round, as the pad does it (for the virtual pad and tests):
// zero-run coding, run coding, the BCD length, DES-ECB encryption under `key`
// (zero-padded to whole blocks) and escaping of the bytes below 0x20 and '#'.
// The result is the data that follows frame byte 21.
std::vector<std::uint8_t> encode_styl_signature(const PageImage& pages, const crypto::des::Block& key);

// The point image turned into stylpad's page image.
PageImage to_pages(const PointImage& image);

// The signature string of GetSigndata: "STYL2" and the run-length coded 1024
// pixel bytes of the bitmap file in upper-case hexadecimal.
std::string styl2_string(std::span<const std::uint8_t, kImageBytes> pixels);

// --- quillpad signature record ----------------------------------------------

// The C run-time generator of the Windows terminals, written out so that
// every build agrees: seed = seed * 214013 + 2531011; value = (seed >> 16) & 0x7FFF.
class TerminalRand {
 public:
  explicit TerminalRand(std::uint32_t seed) : seed_(seed) {}
  int next() {
    seed_ = seed_ * 214013u + 2531011u;
    return static_cast<int>((seed_ >> 16) & 0x7FFF);
  }

 private:
  std::uint32_t seed_;
};

inline constexpr std::size_t kQuillKeptBytes = 81;  // card number (20) and transaction text (61)

struct QuillRecord {
  std::vector<std::uint8_t> bytes;  // the record, compressed length + 57 bytes
  std::string digest_text;          // the MD5 digest, 32 upper-case hexadecimal characters
  std::string one_time_key;         // 16 upper-case hexadecimal characters
  std::size_t stored_halves = 0;    // the non-empty halves kept by the compression
};

// Byte 64 k + r of the column image is byte 16 r + k of the point image with
// its bit order reversed.
std::array<std::uint8_t, kImageBytes> column_image(const PointImage& image);

// The record of QuillGetSignData for the kept 81 bytes and the point image,
// under the initial key.
QuillRecord quill_record(std::span<const std::uint8_t, kQuillKeptBytes> kept, const PointImage& image,
                         const crypto::des::Block& initial_key);

// --- helpers ---------------------------------------------------------------

// 16 hexadecimal digits as 8 bytes (the form the build keys are written in);
// nothing for anything else.
std::optional<crypto::des::Block> key_from_hex(std::string_view hex16);
std::string hex_upper(std::span<const std::uint8_t> bytes);

}  // namespace pink::signpad
