#include "signpad/quillpad_device.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "signpad/device.h"

namespace pink::signpad {
namespace quill {

Bytes point_record(std::uint8_t x, std::uint8_t y, std::uint8_t code) {
  const std::array<std::uint8_t, 7> record{kStx, 0x00, 0x02, code, x, y, kEtx};
  Bytes r(record.begin(), record.end());
  r.push_back(quill_lrc(record));
  return r;
}

Bytes answer_frame(std::uint8_t code, std::string_view text) {
  constexpr std::size_t kMaxData = kRingBytes - 1;
  const std::size_t size = 1 + std::min(text.size(), kMaxData - 1);  // the status byte and the text
  Bytes r;
  r.reserve(size + 6);
  r.push_back(kStx);
  r.push_back(static_cast<std::uint8_t>(size >> 8));
  r.push_back(static_cast<std::uint8_t>(size & 0xFF));
  r.push_back(code);
  r.push_back(kAnswerStatus);
  append(r, text.substr(0, size - 1));
  r.push_back(kEtx);
  r.push_back(quill_lrc(r));
  return r;
}

std::vector<std::pair<int, int>> sample_signature() {
  std::vector<std::pair<int, int>> points;
  for (int x = 12; x <= 116; x += 2) {
    points.emplace_back(x, 32 + static_cast<int>(std::lround(14 * std::sin(x / 9.0))));
  }
  for (int y = 10; y <= 54; y += 2) points.emplace_back(64 + (y - 10) / 4, y);
  return points;
}

namespace {

Bytes bytes_of(std::span<const std::uint8_t> b) { return Bytes(b.begin(), b.end()); }

class QuillpadDevice final : public PadDevice {
 public:
  explicit QuillpadDevice(const PadScript& script) : script_(script) {
    if (script_.signature.empty()) script_.signature = sample_signature();
  }

  std::string_view family() const override { return "quillpad"; }

  void receive(std::span<const std::uint8_t> bytes, std::vector<Send>& out) override {
    for (const std::uint8_t b : bytes) take(b, out);
  }

  bool command(std::string_view action, std::vector<Send>& out) override;

  std::vector<std::string> actions() const override {
    return {
        "sign          stream the signature's pen points, then end signing (ENQ ENQ ENQ)",
        "end           end signing (ENQ ENQ ENQ)",
        "cancel        cancel signing on the pad (ESC ESC ESC)",
        "error         report an input error (NAK NAK NAK)",
        "info TEXT     answer the customer information request with TEXT",
        "pin N         answer the PIN request with N",
        "point X Y     send one pen point",
    };
  }

 private:
  enum class Mode { Idle, Signing, CustInfo, Pin };

  void take(std::uint8_t b, std::vector<Send>& out);
  void request(std::vector<Send>& out);
  void sign(std::vector<Send>& out) const;

  PadScript script_;
  Mode mode_ = Mode::Idle;
  Bytes frame_;
  bool in_frame_ = false;
  bool lrc_next_ = false;
  int escapes_ = 0;
};

// Requests run from STX to ETX and one LRC byte; five ESC in a row stop.
void QuillpadDevice::take(std::uint8_t b, std::vector<Send>& out) {
  if (lrc_next_) {
    frame_.push_back(b);
    lrc_next_ = in_frame_ = false;
    request(out);
    return;
  }
  if (in_frame_) {
    frame_.push_back(b);
    if (b == kEtx) lrc_next_ = true;
    if (frame_.size() > kSendBufferBytes) in_frame_ = false;  // no request is that long
    return;
  }
  if (b == kStx) {
    frame_.assign(1, b);
    in_frame_ = true;
    escapes_ = 0;
    return;
  }
  escapes_ = b == kEsc ? escapes_ + 1 : 0;
  if (escapes_ == static_cast<int>(kStop.size())) {
    escapes_ = 0;
    mode_ = Mode::Idle;
  }
}

void QuillpadDevice::request(std::vector<Send>& out) {
  if (frame_.size() < 6 || quill_lrc(std::span(frame_).first(frame_.size() - 1)) != frame_.back()) return;
  const std::uint8_t command = frame_[3];
  if (command == kSignCommand) {
    mode_ = Mode::Signing;
  } else if (command == kCustInfoCommand) {
    mode_ = Mode::CustInfo;
  } else if (command == kPinCommand) {
    mode_ = Mode::Pin;
  } else {
    return;
  }
  if (script_.init == PadScript::Init::Silent) return;
  if (script_.init == PadScript::Init::Esc) {
    out.push_back({kReactionMs, bytes_of(kSignCancel)});
    return;
  }
  out.push_back({kReactionMs, bytes_of(kAcknowledge)});
  if (!script_.sign_automatically) return;
  if (mode_ == Mode::Signing) {
    sign(out);
  } else if (mode_ == Mode::CustInfo) {
    out.push_back({kReactionMs, answer_frame(kInfoAnswer, script_.customer_info)});
  } else {
    out.push_back({kReactionMs, answer_frame(kPinAnswer, script_.pin)});
  }
}

// The script's points at the pad's pace (the last one lifts the pen), then
// the end of signing. Points that do not fit a byte are not sent.
void QuillpadDevice::sign(std::vector<Send>& out) const {
  const auto& points = script_.signature;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const auto [x, y] = points[i];
    if (x < 0 || x > 0xFF || y < 0 || y > 0xFF) continue;
    const std::uint8_t code = i + 1 == points.size() ? kPointCodeAlt : kPointCode;
    out.push_back({script_.point_interval_ms,
                   point_record(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), code)});
  }
  out.push_back({script_.point_interval_ms, bytes_of(kSignEnd)});
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

bool byte_number(std::string_view s, std::uint8_t& out) {
  unsigned v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || v > 0xFF) return false;
  out = static_cast<std::uint8_t>(v);
  return true;
}

bool QuillpadDevice::command(std::string_view action, std::vector<Send>& out) {
  action = trimmed(action);
  const std::string_view word = action.substr(0, action.find(' '));
  const std::string_view rest = word.size() < action.size() ? trimmed(action.substr(word.size())) : "";
  if (word == "sign" && rest.empty()) {
    sign(out);
  } else if (word == "end" && rest.empty()) {
    out.push_back({0, bytes_of(kSignEnd)});
  } else if (word == "cancel" && rest.empty()) {
    out.push_back({0, bytes_of(kSignCancel)});
  } else if (word == "error" && rest.empty()) {
    out.push_back({0, bytes_of(kInputError)});
  } else if (word == "info") {
    out.push_back({0, answer_frame(kInfoAnswer, rest)});
  } else if (word == "pin" && !rest.empty()) {
    out.push_back({0, answer_frame(kPinAnswer, rest)});
  } else if (word == "point") {
    const auto space = rest.find(' ');
    std::uint8_t x = 0, y = 0;
    if (space == std::string_view::npos || !byte_number(rest.substr(0, space), x) ||
        !byte_number(trimmed(rest.substr(space)), y)) {
      return false;
    }
    out.push_back({0, point_record(x, y)});
  } else {
    return false;
  }
  return true;
}

}  // namespace
}  // namespace quill

std::unique_ptr<PadDevice> make_quillpad_device(const PadScript& script) {
  return std::make_unique<quill::QuillpadDevice>(script);
}

}  // namespace pink::signpad
