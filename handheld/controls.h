// The control characters of the handheld terminal's line.
//
// One exchange: the terminal sends ENQ and the program answers ACK; then the
// terminal sends each record as a start character (STX), the record's text
// and ETX, and the program answers each with ACK; the terminal ends with the
// end marker ">" and the program answers it with ACK. No checksum, sequence
// number or NAK is used. BEL, NAK and CR belong to the terminal's character
// set but the program never acts on them.
#pragma once

namespace pink::handheld {

inline constexpr char kStx = 0x02;      // starts a record (never checked)
inline constexpr char kEtx = 0x03;      // ends a record
inline constexpr char kEnq = 0x05;      // the terminal asks to start a transfer
inline constexpr char kAck = 0x06;      // acknowledgement, both ways
inline constexpr char kBel = 0x07;
inline constexpr char kNak = 0x15;
inline constexpr char kCr = 0x0D;
inline constexpr char kEndMarker = '>';  // the terminal has sent every record

// Each answer of the program is sent this long after what it answers.
inline constexpr double kAckDelaySeconds = 0.1;
// Between the terminal's ENQ and the program's first ACK.
inline constexpr double kEnqAckDelaySeconds = 0.01;
// After a transfer, before the program listens for the next ENQ.
inline constexpr double kAfterTransferSeconds = 1.0;

}  // namespace pink::handheld
