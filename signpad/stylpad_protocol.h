// stylpad's pad protocol, the control's side: the frames it sends (fixed
// frames as named byte arrays, the sign and PIN requests as tables of fields
// built by one routine), the recognition of the pad's answers (fed burst by
// burst, as each receive notification drains the ring), the decisions of the
// sign and PIN handlers, the init watch of timer 1004, the error reports and
// the conversion of the signature data. Pure: no port, no clock, no files.
//
//   Session s;                    s.begin(Mode::Sign);
//   write(kInitFrame);            s.init_sent();  s.tick();    // first tick at once
//   ... each tick of timer 1004:  s.tick() -> Wait / Resend / GiveUp
//   Recognizer r;                 r.feed(burst, frames);
//   for (frame : frames)          s.answer(frame) -> what the control does
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "signpad/capture.h"
#include "signpad/frame.h"

namespace pink::signpad::styl {

// --- bytes on the line ------------------------------------------------------

inline constexpr std::uint8_t kAltStart = 0x01;  // also taken for STX at a frame's start

// Commands the control sends.
inline constexpr std::uint8_t kCmdInit = 0xA0;
inline constexpr std::uint8_t kCmdSign = 0xA1;
inline constexpr std::uint8_t kCmdAccept = 0xA2;
inline constexpr std::uint8_t kCmdPin = 0xA3;
inline constexpr std::uint8_t kCmdNoSign = 0xAC;

// Answer codes of the pad.
inline constexpr std::uint8_t kAnsPoint = 0xB1;      // 02 B1 x y 03 LRC: a pen point
inline constexpr std::uint8_t kAnsSignature = 0xB2;  // the signature data
inline constexpr std::uint8_t kAnsPin = 0xB3;        // the PIN
inline constexpr std::uint8_t kAnsCancel = 0xBC;     // signing ended on the pad
inline constexpr std::uint8_t kCleared = 0xEE;       // x = y = EE: the screen was cleared

namespace detail {
constexpr std::uint8_t lrc_of(std::span<const std::uint8_t> upto_etx) {
  std::uint8_t x = 0;
  for (std::size_t i = 1; i < upto_etx.size(); ++i) x ^= upto_etx[i];
  return x;
}
// STX, 00, 02, command, ETX, LRC.
constexpr std::array<std::uint8_t, 6> short_frame(std::uint8_t command) {
  std::array<std::uint8_t, 6> f{kStx, 0x00, 0x02, command, kEtx, 0};
  f[5] = lrc_of(std::span(f).first(5));
  return f;
}
// STX, B1, x, y, ETX, LRC: the point-shaped frame.
constexpr std::array<std::uint8_t, 6> point_frame(std::uint8_t x, std::uint8_t y) {
  std::array<std::uint8_t, 6> f{kStx, kAnsPoint, x, y, kEtx, 0};
  f[5] = lrc_of(std::span(f).first(5));
  return f;
}
constexpr std::array<std::uint8_t, 8> init_frame() {
  std::array<std::uint8_t, 8> f{kStx, 0x00, 0x04, kCmdInit, '1', '1', kEtx, 0};
  f[7] = lrc_of(std::span(f).first(7));
  return f;
}
}  // namespace detail

// Sign pad init and PIN pad init alike.
inline constexpr std::array<std::uint8_t, 8> kInitFrame = detail::init_frame();
// AcceptSign: the pad is to send the signature data.
inline constexpr std::array<std::uint8_t, 6> kAcceptFrame = detail::short_frame(kCmdAccept);
// NoSign, and the sign pad job closed by the control's end.
inline constexpr std::array<std::uint8_t, 6> kNoSignFrame = detail::short_frame(kCmdNoSign);
// Clr: the pad is to clear its screen.
inline constexpr std::array<std::uint8_t, 6> kClearFrame = detail::point_frame(kCleared, kCleared);

static_assert(kInitFrame == std::array<std::uint8_t, 8>{0x02, 0x00, 0x04, 0xA0, 0x31, 0x31, 0x03, 0xA7});
static_assert(kNoSignFrame == std::array<std::uint8_t, 6>{0x02, 0x00, 0x02, 0xAC, 0x03, 0xAD});
static_assert(kClearFrame == std::array<std::uint8_t, 6>{0x02, 0xB1, 0xEE, 0xEE, 0x03, 0xB2});

// --- the requests, as data ---------------------------------------------------

// What a field of a request holds.
enum class Part : std::uint8_t {
  Text,       // fixed text (UTF-8 in the table, cp949 on the line)
  Key,        // the key value: 16 lowercase hexadecimal digits (sign_key_text)
  Amount,     // the kept amount as "%14s원"
  PinFlag,    // '1' when the PIN length is above 6, else '0'
  PinLength,  // the two PIN-length characters
  PinLine,    // "비밀번호%2d자리" for a PIN length of 4 to 6, else blank
};

// One field: cut or padded with spaces to `width` bytes (never splitting a
// double-byte character; trailing blanks of the value do not count).
struct Piece {
  Part part;
  std::string_view utf8;  // Part::Text only
  std::size_t width;
};

struct Recipe {
  std::uint8_t command;
  std::span<const Piece> pieces;
  std::size_t frame_bytes;  // the whole frame, STX to LRC
};

inline constexpr Piece kFsPiece{Part::Text, "\x1c", 1};
inline constexpr Piece kBlankLine{Part::Text, "", 16};

inline constexpr Piece kSignPieces[] = {
    {Part::Text, "0E", 2}, {Part::Key, {}, 16},  {Part::Amount, {}, 16},
    kFsPiece,              {Part::Text, "싸인해 주세요!! ", 16},
    kFsPiece,              kBlankLine,
    kFsPiece,              kBlankLine,
};

inline constexpr Piece kPinPieces[] = {
    {Part::PinFlag, {}, 1}, {Part::PinLength, {}, 2}, {Part::PinLine, {}, 16},
    kFsPiece,               {Part::Text, "입력대기 중       ", 16},
    kFsPiece,               kBlankLine,
    kFsPiece,               kBlankLine,
    kFsPiece,               {Part::Text, "01", 2},
};

inline constexpr Recipe kSignRequest{kCmdSign, kSignPieces, 91};
inline constexpr Recipe kPinRequest{kCmdPin, kPinPieces, 79};

constexpr std::size_t data_bytes(std::span<const Piece> pieces) {
  std::size_t n = 0;
  for (const Piece& p : pieces) n += p.width;
  return n;
}
// STX, two length bytes, the command, the fields, ETX, LRC.
static_assert(data_bytes(kSignPieces) + 6 == kSignRequest.frame_bytes);
static_assert(data_bytes(kPinPieces) + 6 == kPinRequest.frame_bytes);

// What the variable fields are made of (cp949).
struct RequestValues {
  std::string_view key_text;    // 16 lowercase hexadecimal digits
  std::string_view amount;      // the amount kept by OpenSign or setamt
  std::string_view pin_length;  // two characters
};

// The request's frame: every field fitted to its width, so the frame is
// always recipe.frame_bytes long.
Bytes build(const Recipe& recipe, const RequestValues& values);

// The key value kStylpadKey encrypted with single DES under kStylpadWrapKey,
// as 16 lowercase hexadecimal digits: what the sign request carries.
std::string sign_key_text();

// The number the PIN-length characters give (leading blanks and digits, as
// the C run-time reads a number; 0 when there are none, the largest int when
// the digits run beyond it).
int pin_length_value(std::string_view pin_length);

// cp949 text cut to `width` bytes without splitting a double-byte character,
// trailing blanks dropped, then padded with spaces to `width`.
std::string fit(std::string_view cp949, std::size_t width);

// --- answer recognition -------------------------------------------------------

// The longest frame kept: the receive ring's size. A frame announcing more is
// not a frame (the rest of its burst is discarded).
inline constexpr std::size_t kMaxFrameBytes = 8192;

class Recognizer {
 public:
  // Takes one burst (what one receive notification drained). A frame starts
  // with STX or 0x01; when the second byte is B1 it is 6 bytes long, else
  // (byte 1 x 256 + byte 2) + 4. Outside a frame, a byte that starts none
  // ends the burst: the rest of it is discarded. Complete frames are
  // appended to `frames`; a frame may continue in the next burst.
  void feed(std::span<const std::uint8_t> burst, std::vector<Bytes>& frames);
  void reset() noexcept;
  bool in_frame() const noexcept { return !frame_.empty(); }

 private:
  Bytes frame_;
  std::size_t expected_ = 0;  // 0 until the length is known
};

// --- the handlers -------------------------------------------------------------

enum class Mode : std::uint8_t { Sign, Pin };

enum class Step : std::uint8_t {
  Ignore,           // nothing to do
  SendSignRequest,  // init acknowledged: send the sign request, readyTOsignAction("SIGN")
  CloseOnAck,       // init acknowledged after a close was asked for: end the pad job
  SendPinRequest,   // PIN pad init acknowledged: send the PIN request, readyTOsignAction("PIN")
  PinEscape,        // ESC to the PIN pad init: result -7, the job stays
  ResendInit,       // another short PIN pad answer with attempts left: init again
  Point,            // a pen point inside the pad's area
  ScreenCleared,    // the pad cleared its screen
  End,              // NAK, BC, or signature data of length 2 or less: the pad job ends
  EscapeEnd,        // ESC while signing: result -7, the pad job ends
  Signature,        // signature data (the frame): convert it, then the pad job ends
  Pin,              // the PIN answer: keep it, "DonePinP", the pad job ends
};

struct Reaction {
  Step step = Step::Ignore;
  bool stops_init_timer = false;
  int x = 0, y = 0;  // Step::Point
  std::string pin;   // Step::Pin: the PIN bytes as the pad sent them
  friend bool operator==(const Reaction&, const Reaction&) = default;
};

enum class InitTick : std::uint8_t { Wait, Resend, GiveUp };

inline constexpr int kInitTimer = 1004;
inline constexpr std::uint32_t kInitTimerMs = 1000;
inline constexpr int kInitAttempts = 3;
inline constexpr int kTicksBeforeResend = 2;  // more than this many without ACK: init again
inline constexpr std::size_t kMaxPoints = 9000;

// The pad's area: points outside it are dropped.
inline constexpr int kMaxX = 128;
inline constexpr int kMaxY = 64;

class Session {
 public:
  // A new pad job: its mode, no attempts yet, no close asked for.
  void begin(Mode mode);
  Mode mode() const noexcept { return mode_; }

  // NoSign asks for the job to end once the pad acknowledges init.
  void request_close() noexcept { close_requested_ = true; }
  bool close_requested() const noexcept { return close_requested_; }

  // Init was sent (once more): the ticks count from 0 again.
  void init_sent() noexcept;
  int attempts() const noexcept { return attempts_; }
  int ticks() const noexcept { return ticks_; }
  // A tick of timer 1004: after more than two ticks without the ACK, init
  // again while attempts are left, else give up.
  InitTick tick() noexcept;

  // A complete frame: the sign handler, or the PIN handler in PIN mode. The
  // PIN answer leaves PIN mode.
  Reaction answer(std::span<const std::uint8_t> frame);

 private:
  Reaction sign_answer(std::span<const std::uint8_t> frame) const;
  Reaction pin_answer(std::span<const std::uint8_t> frame);

  Mode mode_ = Mode::Sign;
  bool close_requested_ = false;
  int attempts_ = 0;
  int ticks_ = 0;
};

// The pen points the control lists and paints: at most kMaxPoints; further
// points are not listed.
class PointList {
 public:
  // False when the list is full.
  bool add(int x, int y);
  void clear() noexcept { points_.clear(); }
  bool empty() const noexcept { return points_.empty(); }
  std::size_t size() const noexcept { return points_.size(); }
  const std::vector<std::pair<int, int>>& points() const noexcept { return points_; }

 private:
  std::vector<std::pair<int, int>> points_;
};

// The PIN of a B3 answer: two ASCII digits give its length n, the n bytes
// after them are the PIN, never reaching past the answer's data (the bytes
// before ETX).
std::string pin_of(std::span<const std::uint8_t> frame);

// --- errors and texts ---------------------------------------------------------

enum class Error : std::uint8_t {
  PortRange,         // 101
  SignPortOpen,      // 102, OpenSign
  PinPortOpen,       // 102, OpenPinpad
  InitWrite,         // 103
  AcceptInPinMode,   // 104
  LostOnClear,       // 105, Clr and the requests after init
  LostOnAccept,      // 105, AcceptSign
  LostOnNoSign,      // 105, NoSign
  ClearNotOpen,      // 106
  NoSignInPinMode,   // 107
  BitmapConversion,  // 109
  NoPinInitAnswer,   // 110
  NoSignInitAnswer,  // 111
  ClearInPinMode,    // 112
  ImagePath,         // 112
};

struct ErrorRow {
  Error error;
  std::int32_t code;
  std::string_view utf8;
};

inline constexpr ErrorRow kErrors[] = {
    {Error::PortRange, 101, "COM Port 는 1 에서 9번 까지 사용 가능 합니다!!"},
    {Error::SignPortOpen, 102, "COM Port Open Error 수기서명 하세요"},
    {Error::PinPortOpen, 102, "COM Port Open Error 수기입력하세요!!"},
    {Error::InitWrite, 103, "초기화 포트 출력 오류 수기 서명 하세요!!"},
    {Error::AcceptInPinMode, 104, "PinPad 시 acceptSign 함수 호출"},
    {Error::LostOnClear, 105, "com port 연결이 끊어 졌습니다. 수기서명 하세요"},
    {Error::LostOnAccept, 105, "com port00 연결이 끊어 졌습니다. 수기서명 하세요"},
    {Error::LostOnNoSign, 105, "com port 00연결이 끊어 졌습니다. 수기서명 하세요"},
    {Error::ClearNotOpen, 106, "포트가 open 되지 않았는데 CLR 함수 호출"},
    {Error::NoSignInPinMode, 107, "PinPad 시 NOsign 함수 호출"},
    {Error::BitmapConversion, 109, "BMP 변환 실패"},
    {Error::NoPinInitAnswer, 110, " 핀패드 초기화 응답이 없습니다."},
    {Error::NoSignInitAnswer, 111, " 사인패드 초기화 응답이 없습니다."},
    {Error::ClearInPinMode, 112, "PinPad 시 Clr 함수 호출 "},
    {Error::ImagePath, 112, "싸인 이미지 경로 에러"},
};

constexpr const ErrorRow& error_row(Error e) {
  for (const ErrorRow& row : kErrors) {
    if (row.error == e) return row;
  }
  return kErrors[0];
}

constexpr bool every_error_has_its_row() {
  for (std::size_t i = 0; i < std::size(kErrors); ++i) {
    if (static_cast<std::size_t>(kErrors[i].error) != i) return false;
  }
  return true;
}
static_assert(every_error_has_its_row(), "kErrors lists the errors in their order");

// The error's text in cp949.
const std::string& error_text(Error e);

// Status texts (GetOCXMsg passes the current one) and the painted texts.
inline constexpr std::string_view kStatusDoneSign = "DoneSign";
inline constexpr std::string_view kStatusSignEmpty = "SIGN_EMPTY";
inline constexpr std::string_view kStatusDonePin = "DonePinP";
inline constexpr std::string_view kPaintSignDone = "싸인입력 완료!!";  // result value 1
inline constexpr std::string_view kPaintPinDone = "PIN입력 완료!!";    // result value 2
inline constexpr std::string_view kJobStillOpen = "정상 종료 후 재요청하세요!!";

// Result values (GetRtnVal).
inline constexpr std::int32_t kResultNone = 0;
inline constexpr std::int32_t kResultSigned = 1;
inline constexpr std::int32_t kResultPin = 2;
inline constexpr std::int32_t kResultEscape = -7;

// --- the signature data ---------------------------------------------------------

struct SignatureBitmap {
  bool ok = false;
  BitmapFile file{};
};

// The bitmap file of a B2 answer (the frame as received, STX to LRC): the
// data must end before ETX. Any failure of the chain: ok false.
SignatureBitmap signature_bitmap(std::span<const std::uint8_t> frame);

// The image file name of SetImgName: ".bmp" appended unless the three
// characters after the last '.' (the first three without a '.') are "bmp",
// in any case of the letters.
std::string image_name(std::string_view name);

}  // namespace pink::signpad::styl
