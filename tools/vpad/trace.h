// The virtual pad's signatures: the pen points it sends while "signing",
// either the built-in sample or the ink of a 128 x 64 bitmap traced the way a
// hand would write it. Pure logic.
//
// Pen points are in pad coordinates: the point (x, y) is the pixel in column
// x and row y - top of the 128 x 64 pad, where `top` is the y of the pad's
// top row on the wire: 1 for tallypad and quillpad, 0 for stylpad. Columns
// count from 0.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "signpad/capture.h"

namespace pink::vpad {

using Points = std::vector<std::pair<int, int>>;

// The ink (the pixels darker than middle grey) of a 128 x 64 Windows bitmap
// file: uncompressed, 1, 4, 8, 24 or 32 bits per pixel, rows stored
// bottom-up or top-down. Nothing, with the reason in `error`, for anything
// else; every offset is checked against the file.
std::optional<signpad::PointImage> read_ink(std::span<const std::uint8_t> file, std::string& error);

// The ink as a pad sends it: every ink pixel exactly once, in strokes of
// neighbouring pixels (a stroke starts at a line's end where it has one and
// sweeps up the pixels beside it as it goes), the strokes of one connected
// shape together, the shapes from left to right.
Points trace_ink(const signpad::PointImage& ink, int top = 1);

// The built-in sample: a handwritten-looking name with an underline, every
// point with 4 <= x <= 123 and 4 <= y <= 59 (so that every family draws
// each one), consecutive points of a stroke neighbours.
Points sample_signature();

// The pixels of the points, one pixel each (column x, row y - top); points
// outside the pad are left out.
signpad::PointImage draw_points(std::span<const std::pair<int, int>> points, int top = 1);

}  // namespace pink::vpad
