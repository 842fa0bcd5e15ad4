#include "signpad/stylpad_protocol.h"

#include <climits>
#include <cstdio>

#include "signpad/pad_keys.h"
#include "platform/text.h"

namespace pink::signpad::styl {
namespace {

constexpr bool is_hex16(std::string_view s) {
  if (s.size() != 16) return false;
  for (const char c : s) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}
static_assert(is_hex16(kStylpadKey) && is_hex16(kStylpadWrapKey), "the stylpad keys are 16 hexadecimal digits");

// The bytes of a frame between its command and ETX (B1 frames: x and y).
std::span<const std::uint8_t> data_of(std::span<const std::uint8_t> frame) {
  if (frame.size() < 6) return {};
  return frame.subspan(4, frame.size() - 6);
}

std::size_t length_field(std::span<const std::uint8_t> frame) {
  return frame.size() < 3 ? 0 : (std::size_t{frame[1]} << 8 | frame[2]);
}

bool is_point_frame(std::span<const std::uint8_t> frame) { return frame.size() >= 4 && frame[1] == kAnsPoint; }

// 02 00 02 <code> ...
bool is_short(std::span<const std::uint8_t> frame, std::uint8_t code) {
  return frame.size() >= 4 && frame[1] == 0x00 && frame[2] == 0x02 && frame[3] == code;
}

std::string amount_line(std::string_view amount) {
  static const text::Literal kWon{"원"};
  std::string line = amount.size() < 14 ? std::string(14 - amount.size(), ' ') : std::string();
  line.append(amount);
  line += kWon.str();
  return line;
}

std::string pin_line(std::string_view pin_length) {
  const int n = pin_length_value(pin_length);
  if (n < 4 || n > 6) return {};
  char digits[8];
  std::snprintf(digits, sizeof digits, "%2d", n);
  return text::utf8_to_cp949("비밀번호") + digits + text::utf8_to_cp949("자리          ");
}

std::string piece_value(const Piece& p, const RequestValues& v) {
  switch (p.part) {
    case Part::Text: return text::utf8_to_cp949(p.utf8);
    case Part::Key: return std::string(v.key_text);
    case Part::Amount: return amount_line(v.amount);
    case Part::PinFlag: return pin_length_value(v.pin_length) > 6 ? "1" : "0";
    case Part::PinLength: return std::string(v.pin_length);
    case Part::PinLine: return pin_line(v.pin_length);
  }
  return {};
}

}  // namespace

std::string fit(std::string_view cp949, std::size_t width) {
  std::size_t end = cp949.size();
  while (end > 0 && cp949[end - 1] == ' ') --end;
  std::size_t cut = 0;
  while (cut < end) {
    const std::size_t n = text::char_length_at(cp949, cut);
    if (n == 0 || cut + n > width || cut + n > end) break;
    cut += n;
  }
  std::string s(cp949.substr(0, cut));
  s.resize(width, ' ');
  return s;
}

Bytes build(const Recipe& recipe, const RequestValues& values) {
  Bytes data;
  data.reserve(recipe.frame_bytes);
  for (const Piece& p : recipe.pieces) append(data, fit(piece_value(p, values), p.width));
  return frame(recipe.command, data);
}

std::string sign_key_text() {
  const crypto::des::Block wrapped =
      crypto::des::crypt(crypto::des::kEncrypt, *key_from_hex(kStylpadKey), *key_from_hex(kStylpadWrapKey));
  std::string hex = hex_upper(wrapped);
  for (char& c : hex) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
  }
  return hex;
}

int pin_length_value(std::string_view pin_length) {
  std::size_t i = 0;
  while (i < pin_length.size() && pin_length[i] == ' ') ++i;
  int n = 0;
  for (; i < pin_length.size() && pin_length[i] >= '0' && pin_length[i] <= '9'; ++i) {
    // More digits than an int holds read as the largest int, as the
    // run-time's conversion saturates, instead of overflowing.
    const int digit = pin_length[i] - '0';
    n = n > (INT_MAX - digit) / 10 ? INT_MAX : n * 10 + digit;
  }
  return n;
}

// --- recognition ---------------------------------------------------------------

void Recognizer::reset() noexcept {
  frame_.clear();
  expected_ = 0;
}

void Recognizer::feed(std::span<const std::uint8_t> burst, std::vector<Bytes>& frames) {
  for (const std::uint8_t b : burst) {
    if (frame_.empty()) {
      if (b != kStx && b != kAltStart) return;  // the rest of the burst is not a frame
      frame_.push_back(b);
      continue;
    }
    frame_.push_back(b);
    if (frame_.size() == 2 && b == kAnsPoint) expected_ = 6;
    if (frame_.size() == 3 && expected_ == 0) {
      expected_ = length_field(frame_) + 4;
      if (expected_ > kMaxFrameBytes) {
        reset();
        return;
      }
    }
    if (expected_ != 0 && frame_.size() == expected_) {
      frames.push_back(std::move(frame_));
      reset();
    }
  }
}

// --- handlers --------------------------------------------------------------------

void Session::begin(Mode mode) {
  mode_ = mode;
  close_requested_ = false;
  attempts_ = 0;
  ticks_ = 0;
}

void Session::init_sent() noexcept {
  ++attempts_;
  ticks_ = 0;
}

InitTick Session::tick() noexcept {
  if (++ticks_ <= kTicksBeforeResend) return InitTick::Wait;
  return attempts_ < kInitAttempts ? InitTick::Resend : InitTick::GiveUp;
}

Reaction Session::answer(std::span<const std::uint8_t> frame) {
  return mode_ == Mode::Pin ? pin_answer(frame) : sign_answer(frame);
}

Reaction Session::sign_answer(std::span<const std::uint8_t> frame) const {
  Reaction r;
  if (frame.size() < 4) return r;
  if (is_short(frame, kAck)) {
    r.stops_init_timer = true;
    r.step = close_requested_ ? Step::CloseOnAck : Step::SendSignRequest;
    return r;
  }
  if (is_point_frame(frame)) {
    const int x = frame[2], y = frame[3];
    if (x == kCleared && y == kCleared) {
      r.step = Step::ScreenCleared;
    } else if (x <= kMaxX && y <= kMaxY) {
      r.step = Step::Point;
      r.x = x;
      r.y = y;
    }
    return r;
  }
  switch (frame[3]) {
    case kNak:
    case kAnsCancel: r.step = Step::End; break;
    case kEsc: r.step = Step::EscapeEnd; break;
    case kAnsSignature: r.step = length_field(frame) > 2 ? Step::Signature : Step::End; break;
    default: break;
  }
  return r;
}

Reaction Session::pin_answer(std::span<const std::uint8_t> frame) {
  Reaction r;
  if (frame.size() < 4) return r;
  if (is_short(frame, kAck)) {
    r.stops_init_timer = true;
    r.step = Step::SendPinRequest;
  } else if (is_short(frame, kEsc)) {
    r.stops_init_timer = true;
    r.step = Step::PinEscape;
  } else if (!is_point_frame(frame) && length_field(frame) <= 2) {
    if (attempts_ < kInitAttempts) r.step = Step::ResendInit;
  } else if (!is_point_frame(frame) && frame[3] == kAnsPin) {
    r.step = Step::Pin;
    r.pin = pin_of(frame);
    mode_ = Mode::Sign;
  }
  return r;
}

bool PointList::add(int x, int y) {
  if (points_.size() >= kMaxPoints) return false;
  points_.emplace_back(x, y);
  return true;
}

std::string pin_of(std::span<const std::uint8_t> frame) {
  const auto data = data_of(frame);
  if (data.size() < 2) return {};
  std::size_t n = 0;
  for (std::size_t i = 0; i < 2; ++i) {
    if (data[i] < '0' || data[i] > '9') return {};
    n = n * 10 + static_cast<std::size_t>(data[i] - '0');
  }
  const auto pin = data.subspan(2, std::min(n, data.size() - 2));
  return std::string(pin.begin(), pin.end());
}

// --- errors, signature data, names -----------------------------------------------

const std::string& error_text(Error e) {
  static const std::vector<std::string> texts = [] {
    std::vector<std::string> t;
    for (const ErrorRow& row : kErrors) t.push_back(text::utf8_to_cp949(row.utf8));
    return t;
  }();
  return texts[static_cast<std::size_t>(e)];
}

SignatureBitmap signature_bitmap(std::span<const std::uint8_t> frame) {
  SignatureBitmap out;
  if (frame.size() < 2) return out;
  // ETX and the LRC are not data.
  const StylDecoded decoded = decode_styl_signature(frame.first(frame.size() - 2), *key_from_hex(kStylpadKey));
  if (decoded.error != StylDecodeError::None) return out;
  out.file = bitmap_file(from_pages(decoded.pages));
  out.ok = true;
  return out;
}

std::string image_name(std::string_view name) {
  const auto dot = name.find_last_of('.');
  const std::string_view tail = dot == std::string_view::npos ? name.substr(0, 3) : name.substr(dot + 1, 3);
  if (text::compare_nocase(tail, "bmp") == 0) return std::string(name);
  return std::string(name) + ".bmp";
}

}  // namespace pink::signpad::styl
