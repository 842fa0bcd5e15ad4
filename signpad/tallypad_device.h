// The tallypad's side of its protocol, for the virtual pad and the tests
// (make_tallypad_device in signpad/device.h). What the virtual pad answers:
//
//   init (A0)            per the script: the answer frame with code ACK, the
//                        same with ESC, or silence; the answer's data is the
//                        pad's version text (kPadVersion)
//   sign request (A1)    STX B1, then (signing automatically) the script's pen
//                        points as records "x y ETX" at the script's pace and
//                        the enter record "EA EA ETX"
//   sign send (A2)       the B2 answer frame with the signature data
//                        (signature_data) of the points since the sign
//                        request or the last screen clear
//   PIN (A3)             the B3 answer frame with the PIN digits
//   encrypted PIN (A4)   the B4 answer frame with the PIN block
//                        (pin_block_hex) of the PIN and the request's card
//                        number under the tallypad key
//   card reader requests ACK, then 'k' 00 00 length, answer code (0B; AB
//                        for the log-on request), the script's card answer
//                        bytes and the XOR byte
//   card info            ACK
//   card reader cancel   ACK, then 'k' 00 00 00 FS and the XOR byte
// The acknowledgements the control sends back are taken and ignored, as are
// frames whose check byte is wrong. Operator actions: "sign", "enter",
// "clear", "cancel" (while signing) and "pin N" (enters the PIN that a
// waiting PIN request asks for; without a request the PIN is kept for the
// next one).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "crypto/des.h"
#include "signpad/device.h"
#include "signpad/frame.h"

namespace pink::signpad::tally {

// The data of the init answer.
inline constexpr std::string_view kPadVersion = "PAD V1.00";
// The card reader's answer bytes when the script gives none.
inline constexpr std::string_view kSampleCardAnswer = "9410123412341234=2512101";

// The pace of the pad's own actions: a PIN typed on the pad, a card read.
inline constexpr std::uint32_t kPinEntryMs = 30;
inline constexpr std::uint32_t kCardReadMs = 30;

// The signature data of the B2 answer (the bytes between B2 and ETX):
//   0..15   the 16-character key of the sign request (spaces when none came)
//   16..17  the number of pen points, big-endian (00 00: an empty signature)
//   18..    each point as two bytes, x then y
// At most kMaxSignaturePoints points are kept.
inline constexpr std::size_t kMaxSignaturePoints = 16000;
Bytes signature_data(std::string_view key16, const std::vector<std::pair<int, int>>& points);

// The PIN block of the B4 answer, as 16 upper-case hexadecimal characters:
// the PIN field ('0', PIN length, the digits, F padding) XOR the account
// field ("0000" and the 12 rightmost digits of the card number without its
// check digit), encrypted with single DES under `key`.
std::string pin_block_hex(std::string_view pin, std::string_view card_no, const crypto::des::Block& key);

// True for a PIN the pad takes: 4 to 12 digits.
bool valid_pin(std::string_view pin);

}  // namespace pink::signpad::tally
