// A Windows bitmap file read from its bytes, giving what loading the file as
// a device-independent bitmap section gives: the sizes, the bytes of a stored
// row, the depth, the palette and the pixel bits with bottom-up rows.
//
// The reader is defensive: every length and offset is checked against the
// file before it is used, and anything it cannot read is refused with a
// short named error rather than guessed at.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pink::rcptlib {

enum class BmpError {
  None,
  NotBmp,                  // no "BM" at the start
  TruncatedHeader,         // the file ends inside the file or information header
  UnsupportedHeader,       // an information header size this reader does not know
  BadWidth,                // zero or negative width
  BadHeight,               // zero height (or one that has no positive counterpart)
  UnsupportedDepth,        // bits per pixel other than 1, 4, 8, 16, 24, 32
  UnsupportedCompression,  // run-length, embedded JPEG/PNG, bit fields on 1-8/24 bpp
  PaletteOutOfRange,       // the colour table runs past the end of the file
  PixelOffsetOutOfRange,   // the pixel data offset lies inside the headers or past the end
  PixelDataShort,          // fewer pixel bytes than stride * height
  TooLarge,                // stride * height beyond kMaxPixelBytes, or the file beyond kMaxFileBytes
};

// A short English name of the error, for logs and test messages.
const char* to_string(BmpError error) noexcept;

// The largest pixel data the reader takes (stride * height).
inline constexpr std::uint64_t kMaxPixelBytes = 64u * 1024u * 1024u;

// The largest file the reader takes: the largest pixel data and room for the
// headers, the colour table and a gap before the pixels. Callers read no
// more of a file than this; a larger file is refused as TooLarge.
inline constexpr std::uint64_t kMaxFileBytes = kMaxPixelBytes + 1024u * 1024u;

struct PaletteColour {
  std::uint8_t blue = 0;
  std::uint8_t green = 0;
  std::uint8_t red = 0;
};

// A loaded bitmap. The pixel bits of a bottom-up file are a view into the
// file's bytes, which must outlive the Bitmap; a top-down file's rows are
// copied into bottom-up order.
class Bitmap {
 public:
  std::int32_t width() const noexcept { return width_; }
  // Always positive; a top-down file has been turned bottom-up.
  std::int32_t height() const noexcept { return height_; }
  std::int32_t bits_per_pixel() const noexcept { return bits_per_pixel_; }
  // The width of a row in bytes as the bitmap record reports it: the bytes
  // the pixels of a row need, rounded up to an even number.
  std::int32_t bytes_per_row() const noexcept { return bytes_per_row_; }
  // The distance between stored rows: bytes_per_row rounded up to a multiple
  // of four, as rows of a device-independent bitmap are laid out.
  std::size_t stride() const noexcept { return stride_; }
  // True when the file stored its rows top-down (negative height).
  bool was_top_down() const noexcept { return was_top_down_; }

  // stride * height bytes; stored row 0 is the bottom row of the image.
  std::span<const std::uint8_t> bits() const noexcept;
  // Stored row y (0 = bottom), stride bytes; empty when y is out of range.
  std::span<const std::uint8_t> row(std::int32_t y) const noexcept;

  // The colour table: up to 2^bpp entries for depths up to 8, empty above.
  std::span<const PaletteColour> palette() const noexcept {
    return std::span(palette_).first(palette_size_);
  }

 private:
  friend BmpError read_bmp(std::span<const std::uint8_t> file, Bitmap& out);

  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::int32_t bits_per_pixel_ = 0;
  std::int32_t bytes_per_row_ = 0;
  std::size_t stride_ = 0;
  bool was_top_down_ = false;
  std::span<const std::uint8_t> file_bits_;  // bottom-up file: a view into the file
  std::vector<std::uint8_t> flipped_bits_;   // top-down file: rows reordered
  std::array<PaletteColour, 256> palette_{};
  std::size_t palette_size_ = 0;
};

// Reads a whole bitmap file. On success fills `out` and returns None; on
// failure returns the reason and leaves `out` empty.
//
// Taken: the 12-byte core header and the 40-byte information header with its
// longer versions (52, 56, 108, 124 bytes); 1, 4, 8, 16, 24 and 32 bits per
// pixel; uncompressed pixels, and bit fields on 16 and 32 bits per pixel
// (the masks are not applied: the stored bytes are what callers read).
BmpError read_bmp(std::span<const std::uint8_t> file, Bitmap& out);

}  // namespace pink::rcptlib
