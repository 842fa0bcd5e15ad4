// The stylpad pad's side of its protocol, for the virtual pad and the tests
// (make_stylpad_device in signpad/device.h), and the answers it is made of.
//
// The pad answers init with 02 00 02 06 (or stays silent, or answers ESC, as
// its script says); after a sign request the customer signs: 6-byte B1 point
// frames at the script's pace, then, when the customer presses OK or the
// control sends AcceptSign, the B2 signature data of the image of the points
// signed (run-coded, zero-run-coded, DES-encrypted and escaped under the
// build key). A PIN request is answered with B3 (two ASCII digits of length,
// then the PIN). NoSign is answered with BC.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "signpad/capture.h"
#include "signpad/device.h"
#include "signpad/frame.h"

namespace pink::signpad::styl {

// 02 B1 x y 03 LRC.
Bytes point_answer(std::uint8_t x, std::uint8_t y);
// 02 00 02 <code> 03 LRC: ACK, ESC, NAK, BC.
Bytes short_answer(std::uint8_t code);
// The B2 answer: 16 bytes of the pad's own (ASCII zeros here), the data
// length (big-endian), then the coded signature data.
Bytes signature_answer(const PointImage& image);
// The B3 answer: two ASCII digits of length, then the PIN (at most 99 bytes).
Bytes pin_answer(std::string_view pin);
// The image of pen points in the pad's coordinates (x 0..127, y 0..63; points
// outside are not drawn): row y, column x.
PointImage image_of(const std::vector<std::pair<int, int>>& points);

}  // namespace pink::signpad::styl
