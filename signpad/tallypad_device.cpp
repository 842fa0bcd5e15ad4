#include "signpad/tallypad_device.h"

#include <algorithm>
#include <memory>

#include "signpad/capture.h"
#include "signpad/pad_keys.h"
#include "signpad/tallypad_protocol.h"

namespace pink::signpad {
namespace tally {

Bytes signature_data(std::string_view key16, const std::vector<std::pair<int, int>>& points) {
  const std::size_t n = std::min(points.size(), kMaxSignaturePoints);
  Bytes out;
  out.reserve(18 + 2 * n);
  append(out, field(key16, 16));
  out.push_back(static_cast<std::uint8_t>(n >> 8));
  out.push_back(static_cast<std::uint8_t>(n & 0xFF));
  for (std::size_t i = 0; i < n; ++i) {
    out.push_back(static_cast<std::uint8_t>(std::clamp(points[i].first, 0, 255)));
    out.push_back(static_cast<std::uint8_t>(std::clamp(points[i].second, 0, 255)));
  }
  return out;
}

bool valid_pin(std::string_view pin) {
  return pin.size() >= 4 && pin.size() <= 12 &&
         std::all_of(pin.begin(), pin.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string pin_block_hex(std::string_view pin, std::string_view card_no, const crypto::des::Block& key) {
  // The PIN field and the account field as 16 hexadecimal digits each.
  constexpr std::string_view kHex = "0123456789ABCDEF";
  std::string pin_field(16, 'F');
  pin_field[0] = '0';
  pin_field[1] = kHex[std::min<std::size_t>(pin.size(), 15)];
  pin_field.replace(2, std::min<std::size_t>(pin.size(), 14), pin.substr(0, 14));
  std::string digits;
  for (const char c : card_no) {
    if (c >= '0' && c <= '9') digits += c;
  }
  if (!digits.empty()) digits.pop_back();  // the check digit
  if (digits.size() > 12) digits = digits.substr(digits.size() - 12);
  const std::string account = "0000" + std::string(12 - digits.size(), '0') + digits;
  const auto pin_bytes = key_from_hex(pin_field), account_bytes = key_from_hex(account);
  crypto::des::Block block{};
  if (pin_bytes && account_bytes) {
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = (*pin_bytes)[i] ^ (*account_bytes)[i];
  }
  return hex_upper(crypto::des::crypt(crypto::des::kEncrypt, block, key));
}

namespace {

// A signing record: the code twice and ETX.
Bytes record(std::uint8_t code) { return {code, code, kEtx}; }

class TallyDevice final : public PadDevice {
 public:
  explicit TallyDevice(const PadScript& script) : script_(script) {
    if (script_.card_answer.empty()) {
      script_.card_answer.assign(kSampleCardAnswer.begin(), kSampleCardAnswer.end());
    }
    if (script_.card_answer.size() > 255) script_.card_answer.resize(255);  // one length byte
  }

  std::string_view family() const override { return "tallypad"; }

  void receive(std::span<const std::uint8_t> bytes, std::vector<Send>& out) override {
    for (const std::uint8_t b : bytes) {
      if (incoming_.empty() && b != kStx && b != kDongleStart) continue;  // acknowledgements
      incoming_.push_back(b);
      const std::size_t needed = frame_size();
      if (needed != 0 && incoming_.size() >= needed) {
        const Bytes f = std::move(incoming_);
        incoming_.clear();
        if (f[0] == kStx) {
          on_pad_frame(f, out);
        } else {
          on_dongle_frame(f, out);
        }
      }
    }
  }

  bool command(std::string_view action, std::vector<Send>& out) override;

  std::vector<std::string> actions() const override {
    return {
        "sign      stream the signature's pen points, then press enter (while signing)",
        "enter     press enter on the signing screen (record EA)",
        "clear     clear the signing screen (record EE)",
        "cancel    cancel signing on the pad (record EC)",
        "pin N     enter the PIN N (4 to 12 digits) for a waiting PIN request",
    };
  }

 private:
  enum class PinWait { None, Plain, Encrypted };

  // The size of the frame being received, once its header tells (0 before).
  std::size_t frame_size() const {
    if (incoming_[0] == kStx) {
      return incoming_.size() < 3 ? 0 : 4 + (std::size_t{incoming_[1]} << 8 | incoming_[2]);
    }
    return incoming_.size() < 4 ? 0 : 6 + std::size_t{incoming_[3]};
  }

  void on_pad_frame(const Bytes& f, std::vector<Send>& out);
  void on_dongle_frame(const Bytes& f, std::vector<Send>& out);
  void stream_signature(std::vector<Send>& out);
  void answer_pin(std::uint32_t delay_ms, std::vector<Send>& out);

  PadScript script_;
  Bytes incoming_;
  bool signing_ = false;
  std::vector<std::pair<int, int>> ink_;  // points since the sign request or the last clear
  std::string key_;                       // the key of the last sign request
  PinWait pin_wait_ = PinWait::None;
  std::string card_no_;                   // the card number of the last encrypted PIN request
};

void TallyDevice::on_pad_frame(const Bytes& f, std::vector<Send>& out) {
  if (f.size() < 6 || f[f.size() - 2] != kEtx || lrc(std::span(f).first(f.size() - 1)) != f.back()) return;
  const std::span<const std::uint8_t> data = std::span(f).subspan(4, f.size() - 6);
  switch (f[3]) {
    case kCmdInit:
      if (script_.init == PadScript::Init::Silent) return;
      out.push_back({0, frame(script_.init == PadScript::Init::Esc ? kEsc : kAck,
                              Bytes(kPadVersion.begin(), kPadVersion.end()))});
      return;
    case kCmdSignReq:
      key_.assign(data.begin() + std::min<std::size_t>(2, data.size()),
                  data.begin() + std::min<std::size_t>(18, data.size()));
      signing_ = true;
      ink_.clear();
      out.push_back({0, {kStx, kAnswerSigning}});
      if (script_.sign_automatically) stream_signature(out);
      return;
    case kCmdSignSend:
      signing_ = false;
      out.push_back({0, frame(kAnswerSignData, signature_data(key_, ink_))});
      return;
    case kCmdPin:
    case kCmdPinEnc:
      pin_wait_ = f[3] == kCmdPin ? PinWait::Plain : PinWait::Encrypted;
      card_no_.assign(data.begin(), std::find(data.begin(), data.end(), kFs));
      if (script_.sign_automatically) answer_pin(kPinEntryMs, out);
      return;
    default:
      return;  // the acknowledgement of a data answer, or a command this pad does not know
  }
}

void TallyDevice::on_dongle_frame(const Bytes& f, std::vector<Send>& out) {
  if (f.size() < 6 || xor_all(std::span(f).first(f.size() - 1)) != f.back()) return;
  const std::uint8_t request = f[4];
  Bytes body;
  switch (request) {
    case kDongleCardRequest:
    case kDongleLogOnRequest:
      body.push_back(request == kDongleLogOnRequest ? kAnswerLogOn : kAnswerCard);
      body.insert(body.end(), script_.card_answer.begin(), script_.card_answer.end());
      break;
    case kDongleCancelRequest:
      body.push_back(kFs);
      break;
    case kDongleCardInfoRequest:
      out.push_back({0, {kAck}});
      return;
    default:
      return;
  }
  out.push_back({0, {kAck}});
  out.push_back({kCardReadMs, dongle_frame(body)});
}

void TallyDevice::stream_signature(std::vector<Send>& out) {
  for (const auto& [x, y] : script_.signature) {
    if (ink_.size() < kMaxSignaturePoints) ink_.emplace_back(x, y);
    const auto coordinate = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
    out.push_back({script_.point_interval_ms, {coordinate(x), coordinate(y), kEtx}});
  }
  out.push_back({script_.point_interval_ms, record(kRecordEnter)});
}

void TallyDevice::answer_pin(std::uint32_t delay_ms, std::vector<Send>& out) {
  if (pin_wait_ == PinWait::Plain) {
    out.push_back({delay_ms, frame(kAnswerPin, Bytes(script_.pin.begin(), script_.pin.end()))});
  } else if (pin_wait_ == PinWait::Encrypted) {
    const std::string block = pin_block_hex(script_.pin, card_no_, *key_from_hex(kTallypadKey));
    out.push_back({delay_ms, frame(kAnswerPinEnc, Bytes(block.begin(), block.end()))});
  }
  pin_wait_ = PinWait::None;
}

bool TallyDevice::command(std::string_view action, std::vector<Send>& out) {
  const std::size_t space = action.find(' ');
  const std::string_view verb = action.substr(0, space);
  std::string_view arg = space == std::string_view::npos ? std::string_view{} : action.substr(space + 1);
  while (!arg.empty() && arg.front() == ' ') arg.remove_prefix(1);
  while (!arg.empty() && arg.back() == ' ') arg.remove_suffix(1);
  if (verb == "pin") {
    if (!arg.empty()) {
      if (!valid_pin(arg)) return false;
      script_.pin = std::string(arg);
    }
    answer_pin(0, out);
    return true;
  }
  if (verb != "sign" && verb != "enter" && verb != "clear" && verb != "cancel") return false;
  if (!signing_) return true;  // the pad shows no signing screen: nothing happens
  if (verb == "sign") {
    stream_signature(out);
  } else if (verb == "enter") {
    out.push_back({0, record(kRecordEnter)});
  } else if (verb == "clear") {
    ink_.clear();
    out.push_back({0, record(kRecordCleared)});
  } else {
    ink_.clear();
    signing_ = false;
    out.push_back({0, record(kRecordCancelled)});
  }
  return true;
}

}  // namespace
}  // namespace tally

std::unique_ptr<PadDevice> make_tallypad_device(const PadScript& script) {
  return std::make_unique<tally::TallyDevice>(script);
}

}  // namespace pink::signpad
