// The tallypad pad protocol, as pure logic: the request frames the control
// sends, built from tables of fixed bytes and fields by one routine, and the
// recognition of the pad's answers, a state machine fed byte by byte.
//
// Requests travel in two frame families:
//   pad frames     STX, length (2), command, data, ETX, LRC (signpad/frame.h)
//   dongle frames  'k', 00, 00, length, body, XOR   (the card reader)
// where a dongle frame's length counts the body bytes after its first one and
// the XOR covers every byte before it, 'k' included.
//
// Each request records its mode, and the answer parser recognises the
// answer of that mode:
//   0 init            STX .. the answer code ACK or ESC with the length in
//                     the two bytes before it; the answer holds the code and
//                     the bytes after it
//   1 signing         STX, B1, then point records "x y ETX"; the records
//                     "EE . ETX" (screen cleared), "EC . ETX" (cancelled on
//                     the pad) and "EA . ETX" (enter pressed)
//   2, 4, 5           STX .. B2 / B3 / B4 with the length before it; the
//                     answer is the bytes after the code; acknowledged with
//                     02 00 02 04 03 05
//   11 .. 19          ACK, 'k', 00 or NAK, then 0B (AB for 19) with the
//                     length before it; length + 1 bytes follow (the last is
//                     the XOR byte); acknowledged with a single ACK
//   20                a single ACK; acknowledged with ACK
//   21                ACK, 'k', 00 or NAK, FS and one more byte; acknowledged
//                     with ACK
// There is no time-out: an answer that never completes leaves the parser
// waiting until the next request starts it afresh.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "signpad/frame.h"

namespace pink::signpad::tally {

enum class Mode : int {
  None = -1,  // no exchange (before the first request, after a failed one)
  Init = 0,
  Sign = 1,
  SignSend = 2,
  Pin = 4,
  PinEnc = 5,
  DongleCard = 11,
  DongleMember = 12,
  DongleDebit = 13,
  DongleTicket = 14,
  DongleGift = 15,
  DongleSports = 16,
  DongleCash = 17,
  DongleCardMember = 18,
  DongleLogOn = 19,
  DongleCardInfo = 20,
  DongleCancel = 21,
};

// --- requests ----------------------------------------------------------------

inline constexpr std::uint8_t kDongleStart = 0x6B;  // 'k'

// Commands of the pad frames and first body bytes of the dongle frames.
inline constexpr std::uint8_t kCmdInit = 0xA0;
inline constexpr std::uint8_t kCmdSignReq = 0xA1;
inline constexpr std::uint8_t kCmdSignSend = 0xA2;
inline constexpr std::uint8_t kCmdPin = 0xA3;
inline constexpr std::uint8_t kCmdPinEnc = 0xA4;
inline constexpr std::uint8_t kCmdDataAck = 0x04;
inline constexpr std::uint8_t kDongleCardRequest = 0x0A;  // modes 11 to 18
inline constexpr std::uint8_t kDongleLogOnRequest = 0xAA;
inline constexpr std::uint8_t kDongleCardInfoRequest = 0xAC;
inline constexpr std::uint8_t kDongleCancelRequest = 0x0C;

// The kinds of card a card reader request asks for (the byte after the
// site id).
inline constexpr std::uint8_t kKindCard = 0x0B;
inline constexpr std::uint8_t kKindMember = 0x20;
inline constexpr std::uint8_t kKindDebit = 0x0D;
inline constexpr std::uint8_t kKindTicket = 0x80;
inline constexpr std::uint8_t kKindGift = 0x60;
inline constexpr std::uint8_t kKindSports = 0xC0;
inline constexpr std::uint8_t kKindCash = 0xE0;

// Answer codes.
inline constexpr std::uint8_t kAnswerSigning = 0xB1;
inline constexpr std::uint8_t kAnswerSignData = 0xB2;
inline constexpr std::uint8_t kAnswerPin = 0xB3;
inline constexpr std::uint8_t kAnswerPinEnc = 0xB4;
inline constexpr std::uint8_t kAnswerCard = 0x0B;
inline constexpr std::uint8_t kAnswerLogOn = 0xAB;
// Signing records.
inline constexpr std::uint8_t kRecordCleared = 0xEE;
inline constexpr std::uint8_t kRecordCancelled = 0xEC;
inline constexpr std::uint8_t kRecordEnter = 0xEA;

// The acknowledgement of a data answer (modes 2, 4, 5) and of a card reader
// answer (modes 11 to 21).
inline constexpr std::array<std::uint8_t, 6> kDataAck{kStx, 0x00, 0x02, kCmdDataAck, kEtx, 0x05};
inline constexpr std::array<std::uint8_t, 1> kSingleAck{kAck};

// The card number of an encrypted PIN request is cut to this many bytes.
inline constexpr std::size_t kCardNoMax = 19;
// Card records of TallySetDongleCardInfo: 16 bytes each, at most 15 of them
// (the frame's length byte, 16 n + 12, must hold the count).
inline constexpr std::size_t kCardRecordBytes = 16;
inline constexpr std::size_t kCardRecordsMax = 15;

// The request frame of a mode for the member's arguments (cp949 texts in the
// member's order; missing ones count as empty). Nothing when the arguments
// cannot make a frame: an id whose first two or last two characters are not
// two hexadecimal digits, a card info text whose first two characters are not
// a number of records from 0 to 15 or that is shorter than its records; and
// for the modes without a request (None).
std::optional<Bytes> request_frame(Mode mode, std::span<const std::string_view> args);

// 'k', 00, 00, length (body size - 1), body, XOR of everything before it.
Bytes dongle_frame(std::span<const std::uint8_t> body);

// XOR of all the bytes.
std::uint8_t xor_all(std::span<const std::uint8_t> bytes);

// The two bytes an id gives: its first two and its last two characters, each
// read as a hexadecimal number; nothing when either is not two hex digits.
std::optional<std::array<std::uint8_t, 2>> id_bytes(std::string_view id);

// The count characters and the n 16-byte records of a card info text (each
// trimmed of trailing blanks and padded with zero bytes), or nothing.
std::optional<Bytes> card_records(std::string_view card_info);

// --- answers -----------------------------------------------------------------

// What the control sends when an exchange completes.
enum class Reply : std::uint8_t { None, DataAck, Ack };
std::span<const std::uint8_t> reply_bytes(Reply reply);

// One mode's answer, as the parser reads it (tallypad_protocol.cpp).
struct AnswerRule;

struct Step {
  enum class Kind : std::uint8_t {
    None,       // nothing yet
    Point,      // a pen point, both coordinates non-zero
    Cleared,    // the pad cleared its screen
    Cancelled,  // signing was cancelled on the pad; the exchange is over
    Input,      // enter was pressed on the signing screen
    Complete,   // the answer is complete; the exchange is over
  };
  Kind kind = Kind::None;
  int x = 0, y = 0;
  friend bool operator==(const Step&, const Step&) = default;
};

class AnswerParser {
 public:
  // The receive buffer; its write index wraps to 0 once it passes 2044.
  static constexpr std::size_t kBufferBytes = 2048;
  static constexpr std::size_t kWrapAfter = 2044;

  // Forgets everything received and waits for the answer of `mode` (None:
  // ignores every byte).
  void start(Mode mode);

  // One received byte.
  Step feed(std::uint8_t byte);
  // A burst: every step that is not None, in order. The same as feeding the
  // bytes one by one.
  std::vector<Step> feed(std::span<const std::uint8_t> bytes);

  Mode mode() const noexcept { return mode_; }
  // The exchange ended (complete, or cancelled on the pad).
  bool ended() const noexcept { return phase_ == Phase::Ended; }
  // What to send back once complete.
  Reply reply() const noexcept;
  // The complete answer: as many bytes as the answer length says, starting
  // with the answer code for init and with the byte after the code for the
  // others. The answer is kept whole, however long it is.
  const Bytes& answer() const noexcept { return answer_; }

 private:
  enum class Phase : std::uint8_t { Idle, Gates, Code, Collect, Records, LastByte, Ended };
  Step step(std::uint8_t byte);
  Step gate(std::uint8_t byte);
  Step code(std::uint8_t byte);
  Step record(std::uint8_t byte);
  Step complete();
  void restart();

  Mode mode_ = Mode::None;
  const AnswerRule* rule_ = nullptr;
  Phase phase_ = Phase::Idle;
  std::size_t gate_ = 0;
  std::array<std::uint8_t, kBufferBytes> buffer_{};
  std::size_t index_ = 0;
  std::size_t length_ = 0;  // the answer length
  std::size_t needed_ = 0;  // bytes the answer holds when complete
  Bytes answer_;
};

}  // namespace pink::signpad::tally
