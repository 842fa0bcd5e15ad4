// The quillpad's side of its protocol, for the virtual pad and the tests
// (make_quillpad_device in signpad/device.h): the pad's records and answers.
//
// What the virtual quillpad does:
//   sign request (E8)        ACK ACK ACK; then, when it acts by itself, the
//                            script's pen points at its pace and ENQ ENQ ENQ
//   customer request (FA)    ACK ACK ACK; then the customer information answer
//   PIN request (F6)         ACK ACK ACK; then the PIN answer (F7)
//   ESC x 5                  stops: back to idle
// A script whose init is Silent answers nothing (the control's response
// timer runs out); Esc answers ESC ESC ESC (a cancel) to every request.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "signpad/frame.h"
#include "signpad/quillpad_protocol.h"

namespace pink::signpad::quill {

inline constexpr std::array<std::uint8_t, 3> kAcknowledge{kAck, kAck, kAck};
inline constexpr std::array<std::uint8_t, 3> kSignEnd{kEnq, kEnq, kEnq};
inline constexpr std::array<std::uint8_t, 3> kSignCancel{kEsc, kEsc, kEsc};
inline constexpr std::array<std::uint8_t, 3> kInputError{kNak, kNak, kNak};

// The first data byte of the virtual pad's answers (the pad's own; the
// control keeps the text after it).
inline constexpr std::uint8_t kAnswerStatus = '0';

// How long the virtual pad takes to acknowledge a request.
inline constexpr std::uint32_t kReactionMs = 10;

// A pen point: STX 00 02 code x y ETX LRC.
Bytes point_record(std::uint8_t x, std::uint8_t y, std::uint8_t code = kPointCode);

// An answer: STX, the data length (2 bytes, high first), the code, the
// data (the status byte and the cp949 text, at most 1024 bytes), ETX, LRC.
Bytes answer_frame(std::uint8_t code, std::string_view text);

// The signature the virtual pad signs when its script brings none.
std::vector<std::pair<int, int>> sample_signature();

}  // namespace pink::signpad::quill
