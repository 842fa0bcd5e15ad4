// The quillpad pad protocol, as the control speaks it: the requests it sends
// (built from tables of fixed bytes and fields by one routine) and the
// recognition of the pad's answers, a pure state machine fed with received
// bytes in pieces of any size. No I/O and no clock: the control owns the
// serial control and the timers and acts on what the machine reports.
//
// Requests (each ends with ETX and quill_lrc; the length bytes are fixed per
// command, not counted):
//   sign         STX 00 5C E8 FS card(20) FS amount(8) FS text ETX LRC
//   customer     STX 00 00 FA ETX LRC
//   PIN          STX 00 2B F6 type key(16) FS card field(16) FS amount(8) ETX LRC
//   stop         ESC ESC ESC ESC ESC (then a pause and the port closed)
//
// Answers (recognised by counting back from the newest received byte):
//   ACK ACK ACK                        the pad took the request
//   STX 00 02 C0|C1 x y ETX LRC        a pen point (signing)
//   ENQ ENQ ENQ / ESC ESC ESC          signing ended / cancelled on the pad
//   NAK NAK NAK                        an input error (customer data, PIN)
//   STX len(2) FA|FB|FC data(len)      customer information (FC: more blocks)
//   STX len(2) F7 data(len)            the PIN
// The first data byte of an answer is the pad's own; the kept text is the
// rest of the data.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "signpad/capture.h"
#include "signpad/frame.h"

namespace pink::signpad::quill {

// --- Bytes on the line -------------------------------------------------------

inline constexpr std::uint8_t kSignCommand = 0xE8;
inline constexpr std::uint8_t kCustInfoCommand = 0xFA;
inline constexpr std::uint8_t kPinCommand = 0xF6;

// The first four bytes of each request: STX, the command's fixed length
// value and the command.
inline constexpr std::array<std::uint8_t, 4> kSignHead{kStx, 0x00, 0x5C, kSignCommand};
inline constexpr std::array<std::uint8_t, 4> kCustInfoHead{kStx, 0x00, 0x00, kCustInfoCommand};
inline constexpr std::array<std::uint8_t, 4> kPinHead{kStx, 0x00, 0x2B, kPinCommand};
inline constexpr std::array<std::uint8_t, 1> kSeparator{kFs};
inline constexpr std::array<std::uint8_t, 1> kEnd{kEtx};
// Stops whatever the pad is doing.
inline constexpr std::array<std::uint8_t, 5> kStop{kEsc, kEsc, kEsc, kEsc, kEsc};

// Answer codes.
inline constexpr std::uint8_t kPointCode = 0xC0;       // a pen point
inline constexpr std::uint8_t kPointCodeAlt = 0xC1;    // a pen point (the pad's other kind)
inline constexpr std::uint8_t kInfoAnswer = 0xFA;      // customer information, last block
inline constexpr std::uint8_t kInfoAnswerAlt = 0xFB;   // customer information, last block
inline constexpr std::uint8_t kInfoMoreBlocks = 0xFC;  // customer information, more to come
inline constexpr std::uint8_t kPinAnswer = 0xF7;

// --- Jobs, timers and the control's buffers ----------------------------------

inline constexpr int kJobSign = 0;
inline constexpr int kJobCustInfo = 1;
inline constexpr int kJobPin = 2;
inline constexpr int kJobSignAlt = 4;  // the pad's second signature job: a signature too
constexpr bool is_signature(int job) { return job == kJobSign || job == kJobSignAlt; }

inline constexpr std::size_t kSendBufferBytes = 1024;
inline constexpr std::size_t kRingBytes = 1025;
inline constexpr std::uint32_t kNoLength = 9999;  // no answer length expected

// The response timer: armed for kResponseMs by every request, stopped by any
// received data; armed for kOpenFailureMs when the port cannot be opened.
inline constexpr int kResponseTimer = 1;
inline constexpr std::uint32_t kResponseMs = 2000;
inline constexpr std::uint32_t kOpenFailureMs = 200;
// The pause between the stop bytes and closing the port.
inline constexpr std::uint32_t kStopPauseMs = 200;
// Events reach the host through one-shot timers of this delay, whose
// identifier names the event.
inline constexpr std::uint32_t kNoticeDelayMs = 200;

enum class Notice : int {
  SignEnd = 11,
  SignCancel = 12,
  InputDataError = 13,
  CustInfoEnd = 14,
  PinEnd = 15,
};

// --- Requests -----------------------------------------------------------------

// How a piece of a request is laid out.
enum class Fit : std::uint8_t {
  Fixed,  // `bytes` as they are
  Field,  // the argument, trailing blanks trimmed, cut or right-padded with spaces to `width`
  Left,   // the argument cut to `width` or left-padded with spaces to it
  Whole,  // the argument as it is, cut only where the send buffer would overflow
};

struct Piece {
  Fit fit;
  std::span<const std::uint8_t> bytes;  // Fixed
  std::uint8_t arg = 0;                 // the others: which argument
  std::uint16_t width = 0;              // Field, Left
};

// The request's pieces filled from `args` (cp949), then quill_lrc. Never
// longer than the send buffer: a Whole piece gives up its tail (at a
// character boundary) first. A missing argument counts as empty.
Bytes build(std::span<const Piece> pieces, std::span<const std::string> args);

// QuillElecSign: the amount field's text: the 12 characters of the
// transaction text from offset 34; from the second of them on, the leading
// '0's are dropped (the first character is never part of it).
std::string sign_amount(std::string_view tr_info);
// QuillElecSign: the transaction text right-padded with spaces until it is
// longer than 60 characters, never cut.
std::string sign_text(std::string_view tr_info);
// QuillGetPin: "0000" and the 12 characters of the trimmed card number that
// end just before its last one (fewer when it is shorter).
std::string pin_card_field(std::string_view card_no);

Bytes sign_request(std::string_view card_no, std::string_view tr_info);
Bytes cust_info_request();
// The PIN type character is '2' when password_type is 1, else '1'.
Bytes pin_request(int password_type, std::string_view card_no, std::string_view amount,
                  std::string_view working_key);

// The 81 bytes QuillElecSign keeps for the signature record: the caller's
// card number and transaction text themselves, cut to 20 and 61 bytes and
// zero-filled.
std::array<std::uint8_t, kQuillKeptBytes> kept_bytes(std::string_view card_no, std::string_view tr_info);

// --- Answers ------------------------------------------------------------------

// What the recognition asks the control to do, in the order of the bytes.
struct Effect {
  enum class Kind : std::uint8_t {
    Acknowledged,  // ACK ACK ACK: the pad answered (the response timer stops)
    Point,         // a pen point (x, y) entered the point image: draw it
    Answer,        // an answer's data are complete (answer(), answer_text())
    StopPad,       // stop the pad
    Notify,        // arm the notice's one-shot timer
  };
  Kind kind;
  int x = 0, y = 0;
  Notice notice = Notice::SignEnd;
  friend bool operator==(const Effect&, const Effect&) = default;
};

// The answer recognition of one job. Received bytes enter a 1025-byte ring
// whose index returns to 0 after 1024; every rule looks back from the newest
// byte, and only at bytes received since the ring last restarted (a job's
// start or an answer header), so no look reaches outside the ring or at a
// stale byte, and a point record may straddle the ring's end.
class Receiver {
 public:
  Receiver() { reset(kJobSign); }

  // A new job: the ring, the parse state, the expected length (none), the
  // answer, the success flag and the point image are cleared.
  void reset(int job);

  // Feeds received bytes; what follows from them is appended to `out`.
  // Pieces of any size give the same effects as the bytes one by one.
  void feed(std::span<const std::uint8_t> bytes, std::vector<Effect>& out);

  int job() const noexcept { return job_; }
  // Signing: at least one pen point arrived; other jobs: an answer arrived.
  bool success() const noexcept { return success_; }
  const PointImage& image() const noexcept { return image_; }
  // The last complete answer's data (the bytes after the answer code, as
  // many as its length) and its text (the data without the first byte, up
  // to a NUL).
  const Bytes& answer() const noexcept { return answer_; }
  std::string answer_text() const;
  // The length the current answer announced, or kNoLength.
  std::uint32_t expected() const noexcept { return expected_; }
  bool more_blocks() const noexcept { return more_blocks_; }

 private:
  void put(std::uint8_t b);
  void restart() noexcept;
  // The byte k back from the newest (0: the newest); -1 when the ring holds
  // no such byte since its restart.
  int back(std::size_t k) const noexcept;
  bool three(std::uint8_t b) const noexcept;
  void sign_byte(std::vector<Effect>& out);
  void answer_byte(std::vector<Effect>& out);
  bool answer_header(std::vector<Effect>& out);
  void complete(std::vector<Effect>& out);

  int job_ = kJobSign;
  std::array<std::uint8_t, kRingBytes> ring_{};
  std::size_t index_ = 0;   // where the next byte goes
  std::size_t filled_ = 0;  // bytes since the last restart, at most the ring
  bool started_ = false;    // the answer began (ACK ACK ACK)
  std::uint32_t expected_ = kNoLength;
  bool more_blocks_ = false;
  bool success_ = false;
  Bytes answer_;
  PointImage image_{};
};

}  // namespace pink::signpad::quill
