#include "signpad/stylpad_device.h"

#include <algorithm>
#include <string>

#include "signpad/pad_keys.h"
#include "signpad/stylpad_protocol.h"

namespace pink::signpad {
namespace {

using styl::kAnsCancel;
using styl::kCleared;

class StylpadDevice final : public PadDevice {
 public:
  explicit StylpadDevice(PadScript script) : script_(std::move(script)) {}

  std::string_view family() const override { return "stylpad"; }

  void receive(std::span<const std::uint8_t> bytes, std::vector<Send>& out) override {
    // One byte at a time: a stray byte between frames is dropped alone.
    for (const std::uint8_t b : bytes) {
      frames_.clear();
      recognizer_.feed(std::span(&b, 1), frames_);
      for (const Bytes& f : frames_) handle(f, out);
    }
  }

  bool command(std::string_view action, std::vector<Send>& out) override;

  std::vector<std::string> actions() const override {
    return {
        "sign     the customer signs: the pen points go out at the pad's pace",
        "accept   the customer presses OK: the signature data (B2) of what was signed, now",
        "cancel   the customer cancels on the pad (BC)",
        "clear    the customer clears the pad's screen (B1 EE EE)",
        "pin N    the customer enters the PIN N (B3); without N, the script's PIN",
        "nak      the pad refuses (NAK)",
        "esc      the pad answers ESC",
    };
  }

 private:
  void handle(const Bytes& f, std::vector<Send>& out);
  void sign(std::vector<Send>& out);
  void accept(std::uint32_t delay_ms, std::vector<Send>& out) {
    out.push_back({delay_ms, styl::signature_answer(styl::image_of(signed_))});
  }

  PadScript script_;
  styl::Recognizer recognizer_;
  std::vector<Bytes> frames_;
  std::vector<std::pair<int, int>> signed_;  // what the customer has drawn on the screen
};

void StylpadDevice::handle(const Bytes& f, std::vector<Send>& out) {
  if (f.size() < 4) return;
  if (f[1] == styl::kAnsPoint) {
    if (f[2] == kCleared && f[3] == kCleared) signed_.clear();  // Clr: the screen is blank again
    return;
  }
  switch (f[3]) {
    case styl::kCmdInit:
      signed_.clear();
      if (script_.init == PadScript::Init::Answer) out.push_back({0, styl::short_answer(kAck)});
      if (script_.init == PadScript::Init::Esc) out.push_back({0, styl::short_answer(kEsc)});
      break;
    case styl::kCmdSign:
      if (!script_.sign_automatically) break;
      sign(out);
      accept(script_.point_interval_ms, out);
      break;
    case styl::kCmdAccept: accept(0, out); break;
    case styl::kCmdNoSign: out.push_back({0, styl::short_answer(kAnsCancel)}); break;
    case styl::kCmdPin:
      if (script_.sign_automatically) out.push_back({script_.point_interval_ms, styl::pin_answer(script_.pin)});
      break;
    default: break;
  }
}

void StylpadDevice::sign(std::vector<Send>& out) {
  for (const auto& [x, y] : script_.signature) {
    if (x < 0 || y < 0 || x > 0xFF || y > 0xFF) continue;
    out.push_back({script_.point_interval_ms,
                   styl::point_answer(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y))});
    signed_.emplace_back(x, y);
  }
}

bool StylpadDevice::command(std::string_view action, std::vector<Send>& out) {
  const auto space = action.find(' ');
  const std::string_view verb = action.substr(0, space);
  const std::string_view rest = space == std::string_view::npos ? std::string_view() : action.substr(space + 1);
  if (verb == "sign" && rest.empty()) {
    sign(out);
  } else if (verb == "accept" && rest.empty()) {
    accept(0, out);
  } else if (verb == "cancel" && rest.empty()) {
    out.push_back({0, styl::short_answer(kAnsCancel)});
  } else if (verb == "clear" && rest.empty()) {
    signed_.clear();
    out.push_back({0, styl::point_answer(kCleared, kCleared)});
  } else if (verb == "pin") {
    out.push_back({0, styl::pin_answer(rest.empty() ? std::string_view(script_.pin) : rest)});
  } else if (verb == "nak" && rest.empty()) {
    out.push_back({0, styl::short_answer(kNak)});
  } else if (verb == "esc" && rest.empty()) {
    out.push_back({0, styl::short_answer(kEsc)});
  } else {
    return false;
  }
  return true;
}

}  // namespace

namespace styl {

Bytes point_answer(std::uint8_t x, std::uint8_t y) {
  Bytes f{kStx, kAnsPoint, x, y, kEtx};
  f.push_back(lrc(f));
  return f;
}

Bytes short_answer(std::uint8_t code) { return frame(code, {}); }

Bytes signature_answer(const PointImage& image) {
  const std::vector<std::uint8_t> data = encode_styl_signature(to_pages(image), *key_from_hex(kStylpadKey));
  Bytes body(16, '0');
  body.push_back(static_cast<std::uint8_t>(data.size() >> 8));
  body.push_back(static_cast<std::uint8_t>(data.size() & 0xFF));
  body.insert(body.end(), data.begin(), data.end());
  return frame(kAnsSignature, body);
}

Bytes pin_answer(std::string_view pin) {
  const std::string_view kept = pin.substr(0, 99);
  Bytes body{static_cast<std::uint8_t>('0' + kept.size() / 10), static_cast<std::uint8_t>('0' + kept.size() % 10)};
  append(body, kept);
  return frame(kAnsPin, body);
}

PointImage image_of(const std::vector<std::pair<int, int>>& points) {
  PointImage image{};
  for (const auto& [x, y] : points) {
    if (x < 0 || y < 0 || x >= kPadWidth || y >= kPadHeight) continue;
    const std::size_t bit = static_cast<std::size_t>(y * kPadWidth + x);
    image[bit / 8] |= static_cast<std::uint8_t>(0x80u >> (bit % 8));
  }
  return image;
}

}  // namespace styl

std::unique_ptr<PadDevice> make_stylpad_device(const PadScript& script) {
  return std::make_unique<StylpadDevice>(script);
}

}  // namespace pink::signpad
