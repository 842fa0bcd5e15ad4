// A bitmap file turned into the bytes that print it as a downloaded bit
// image: the define-image header, the column bytes, the print command with
// its size mode and the justification command. Pure: the caller reads the
// file and writes the pieces through its connection.
//
// How the file is turned into dots depends on two facts read straight from
// its header bytes (classify):
// - monochrome files are taken bit for bit;
// - "converted" files (pixel data right after a 40-byte header, or 4 or 8
//   bits per pixel) become black and white: by a mean-below-128 test when
//   the file is "white-first", otherwise by error diffusion of a grey plane.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pink::rcptlib {

// Limits of the conversion. Larger images are refused.
// Converted files: at most 500 x 650 pixels, the picture the grey and output
// planes were made for. The planes here are sized by the padded image
// (W' x H', so up to 504 x 656) and cannot be overrun.
inline constexpr std::int32_t kMaxConvertedWidth = 500;   // W, converted files
inline constexpr std::int32_t kMaxConvertedHeight = 650;  // H, converted files
inline constexpr std::size_t kMaxRasterBytes = 196608;    // W' * H' / 8, every file
inline constexpr std::int32_t kMaxHeaderCount = 255;      // W' / 8 and H' / 8 are one byte each

struct BitImage {
  std::array<std::uint8_t, 4> header{};         // GS * x y
  std::vector<std::uint8_t> raster;             // W' * H' / 8 column bytes, in sending order
  std::array<std::uint8_t, 3> print_command{};  // GS / m
  std::array<std::uint8_t, 3> justification{};  // ESC a n
};

enum class ConvertError {
  None,
  NotABitmap,  // the file could not be read as a bitmap: nothing to send
  TooLarge,    // the image does not fit the work area or the header: nothing to send
};

struct Classification {
  bool converted = false;
  bool white_first = false;
};

// Reads the raw header bytes: converted when the pixel data offset (file
// offset 10) is 54 or the bits per pixel (file offset 28) are 4 or 8;
// white-first when the three bytes at file offsets 54, 55, 56 are all 0xFF.
// A file shorter than the 14-byte file header plus 44 bytes, or one that does
// not begin with "BM", is neither.
Classification classify(std::span<const std::uint8_t> file);

// GS / m for a size mode: 1, 2, 3 give 0x31, 0x32, 0x33; anything else 0x30.
std::array<std::uint8_t, 3> print_command(std::int32_t size_mode);
// ESC a n for a justification: 0 gives 0x30, 2 gives 0x32, anything else 0x31.
std::array<std::uint8_t, 3> justification_command(std::int32_t justification);

// Converts a whole bitmap file. On success `out` holds the four pieces to
// send, in order header, raster, print command, justification. On failure
// `out` is emptied (raster empty, commands zero) and nothing is to be sent.
// `out.raster` keeps its capacity between calls.
ConvertError convert(std::span<const std::uint8_t> file, std::int32_t justification,
                     std::int32_t size_mode, BitImage& out);

// The grey value of a true-colour pixel: 0.587 G + 0.299 R + 0.114 B as the
// double-precision expression evaluates it (left to right, each operation
// rounded to double), truncated. Computed in integers so that the result is
// the same on every target, whatever its floating-point unit.
std::uint8_t true_colour_grey(std::uint8_t blue, std::uint8_t green, std::uint8_t red) noexcept;

}  // namespace pink::rcptlib
