#include "signpad/tallypad_control.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "signpad/tallypad_members.h"

namespace pink::signpad::tally {

using automation::Value;

namespace {

// Each mode's members and the event its complete answer fires (0: none).
struct ModeRow {
  Mode mode;
  std::int32_t request;  // the member that starts the exchange
  std::int32_t data;     // the member that hands its answer back (0: none)
  std::int32_t event;
};

constexpr ModeRow kModes[] = {
    {Mode::Init, kDispPadInit, kDispPadInitData, kEvPadInit},
    {Mode::Sign, kDispSignReq, 0, 0},
    {Mode::SignSend, kDispSignSend, kDispSignSendData, kEvSignSend},
    {Mode::Pin, kDispGetPin, kDispGetPinData, kEvPin},
    {Mode::PinEnc, kDispGetPinEnc, kDispGetPinEncData, kEvPinEnc},
    {Mode::DongleCard, kDispDongleCard, kDispDongleCardData, kEvDongleCard},
    {Mode::DongleMember, kDispDongleMember, kDispDongleMemberData, kEvDongleMember},
    {Mode::DongleDebit, kDispDongleDebit, kDispDongleDebitData, kEvDongleDebit},
    {Mode::DongleTicket, kDispDongleTicket, kDispDongleTicketData, kEvDongleTicket},
    {Mode::DongleGift, kDispDongleGift, kDispDongleGiftData, kEvDongleGift},
    {Mode::DongleSports, kDispDongleSports, kDispDongleSportsData, kEvDongleSports},
    {Mode::DongleCash, kDispDongleCash, kDispDongleCashData, kEvDongleCash},
    {Mode::DongleCardMember, kDispDongleCardMember, kDispDongleCardMemberData, kEvDongleCardMember},
    {Mode::DongleLogOn, kDispDongleLogOn, kDispDongleLogOnData, kEvDongleLogOn},
    {Mode::DongleCardInfo, kDispSetDongleCardInfo, 0, kEvDongleCardInfo},
    {Mode::DongleCancel, kDispDongleCancel, 0, 0},
};

const ModeRow* row_of(Mode mode) {
  for (const ModeRow& r : kModes) {
    if (r.mode == mode) return &r;
  }
  return nullptr;
}

// The speeds the port takes as they are.
constexpr std::array<std::int32_t, 6> kDirectSpeeds{9600, 14400, 19200, 38400, 57600, 128000};

constexpr std::string_view kCaption = "Tallypad";

// The signature data as TallySignSendData hands it over: no zero bytes.
void zeros_to_spaces(std::vector<std::uint8_t>& bytes) {
  std::replace(bytes.begin(), bytes.end(), std::uint8_t{0}, std::uint8_t{' '});
}

// Bytes 16 and 17 of a signature answer both zero (or missing): the pad sent
// an empty signature.
bool empty_signature(const Bytes& answer) { return answer.size() < 18 || (answer[16] == 0 && answer[17] == 0); }

}  // namespace

constinit const automation::ClassEntry kClassEntry{&kClass, &make_object};

namespace {
[[maybe_unused]] const bool kRegistered = (automation::register_class(kClassEntry), true);
}  // namespace

std::unique_ptr<automation::Object> make_object() { return std::make_unique<TallypadControl>(); }

std::uint32_t open_speed(std::int32_t rate) {
  const bool direct = std::find(kDirectSpeeds.begin(), kDirectSpeeds.end(), rate) != kDirectSpeeds.end();
  return static_cast<std::uint32_t>(direct ? rate : kFallbackBaud);
}

Canvas paint(const DrawnPoints& drawn, int width, int height) {
  Canvas c(width, height);
  c.rectangle(0, 0, width, height, kBlack, kWhite);
  const int ox = width > 256 ? (width - 256) / 2 : 0;
  const int oy = height > 128 ? (height - 128) / 2 : 0;
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      if (!drawn[static_cast<std::size_t>(256 * y + x)]) continue;
      c.ellipse(ox + 2 * x - 2, oy + 2 * y - 2, ox + 2 * x + 4, oy + 2 * y + 4, kBlack);
    }
  }
  return c;
}

TallypadControl::TallypadControl() : Object(kClass), link_(kTallyLink, *this) {}

TallypadControl::~TallypadControl() {
  if (link_.connected()) {
    link_.close();
    clock::sleep_ms(kReopenDelayMs);
  }
}

void TallypadControl::run(const automation::Member& member, std::span<Value> args, Value& result) {
  for (const ModeRow& r : kModes) {
    if (member.dispid == r.request) {
      result = Value::i2(request(r.mode, args));
      return;
    }
    if (member.dispid == r.data) {
      data(r.mode, args[0], result);
      return;
    }
  }
  switch (member.dispid) {
    case kDispGetSignBMP:
      result = Value::i2(save_bitmap(args[0].str));
      return;
    case kDispSetPortNo:
      port_ = args[0].num <= 0 ? kDefaultPort : args[0].num;
      result = Value::i2(args[0].num <= 0 ? 0 : 1);
      return;
    case kDispSetBaudRate:
      if (args[0].num >= kLowestBaud) baud_ = args[0].num;
      result = Value::i2(args[0].num >= kLowestBaud ? 1 : 0);
      return;
    default:
      return;
  }
}

std::int16_t TallypadControl::request(Mode mode, std::span<const Value> args) {
  std::vector<std::string_view> texts;
  for (const Value& a : args) texts.push_back(a.str);
  const std::optional<Bytes> frame = request_frame(mode, texts);
  if (!frame) return 0;  // arguments that make no frame: refused, nothing changes

  ++exchange_;
  if (link_.connected()) {
    link_.close();
    clock::sleep_ms(kReopenDelayMs);
  }
  link_.clear();
  mode_ = mode;
  ready_ = false;
  parser_.start(mode);
  if (mode != Mode::SignSend) image_.fill(0);  // TallySignSend keeps it for TallyGetSignBMP

  if (link_.open(port_, open_speed(baud_)) && link_.write(*frame) == frame->size()) return 1;
  // No exchange is left behind: the next request starts afresh.
  link_.close();
  mode_ = Mode::None;
  parser_.start(Mode::None);
  return 0;
}

void TallypadControl::data(Mode mode, Value& event_ret, Value& result) {
  if (mode_ != mode || !ready_) {
    result = Value{};
    event_ret.num = 0;
    ready_ = false;
    return;
  }
  std::vector<std::uint8_t> answer = parser_.answer();
  event_ret.num = 1;
  if (mode == Mode::SignSend) {
    if (empty_signature(answer)) event_ret.num = -1;
    zeros_to_spaces(answer);
  }
  result = Value::array(std::move(answer));
}

std::int16_t TallypadControl::save_bitmap(const std::string& path_cp949) const {
  if (mode_ != Mode::SignSend || !ready_) return 0;
  const BitmapFile file = bitmap_file(image_);
  return files::write_all(path_cp949, std::string_view(reinterpret_cast<const char*>(file.data()), file.size())).ok()
             ? 1
             : 0;
}

// To the real window when there is one, else to the window work.
void TallypadControl::post(std::uint32_t message, std::uintptr_t wparam) {
  if (message != kCommRead || host_.post(message, wparam, 0)) return;
  window().post([this] { on_read(); });
}

void TallypadControl::message(std::uint32_t message, std::uintptr_t, std::intptr_t) {
  if (message == kCommRead) as_window([this] { on_read(); });
}

void TallypadControl::resize(int width, int height) {
  width_ = std::clamp(width, 1, kMaxSnapshotSide);
  height_ = std::clamp(height, 1, kMaxSnapshotSide);
  host_.invalidate();
}

automation::Picture TallypadControl::picture() {
  return automation::Picture{width_, height_, paint(drawn_, width_, height_).xrgb()};
}

void TallypadControl::message_box(std::string_view text_cp949) { msgbox::show(text_cp949, kCaption); }

void TallypadControl::on_read() {
  std::vector<std::uint8_t> bytes;
  std::array<std::uint8_t, 2048> chunk;
  while (const std::size_t n = link_.take(chunk)) bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + n);
  const std::uint64_t exchange = exchange_;
  for (const std::uint8_t b : bytes) {
    // An event handler may have started another exchange: the rest of the
    // burst belonged to the one before.
    if (exchange_ != exchange) return;
    on_step(parser_.feed(b));
  }
}

void TallypadControl::on_step(const Step& step) {
  switch (step.kind) {
    case Step::Kind::Point:
      drawn_.set(static_cast<std::size_t>(256 * step.y + step.x));
      set_tally_point(image_, step.x, step.y);
      host_.invalidate();
      return;
    case Step::Kind::Cleared:
      image_.fill(0);
      repaint();
      return;
    case Step::Kind::Cancelled:
      image_.fill(0);
      repaint();
      link_.close();  // before the event, whose handler may start the next exchange
      fire(kEvSignSendCancel, {});
      return;
    case Step::Kind::Input:
      fire(kEvSignSendInput, {});
      return;
    case Step::Kind::Complete:
      finish();
      return;
    case Step::Kind::None:
      return;
  }
}

void TallypadControl::finish() {
  const std::span<const std::uint8_t> reply = reply_bytes(parser_.reply());
  if (!reply.empty()) link_.write(reply);
  link_.close();
  ready_ = true;
  if (const ModeRow* r = row_of(mode_); r != nullptr && r->event != 0) fire(r->event, {});
}

void TallypadControl::repaint() {
  drawn_.reset();
  host_.invalidate();
}

bool TallypadControl::snapshot(const std::string& png_path, int width, int height) {
  if (width < 1 || height < 1 || width > kMaxSnapshotSide || height > kMaxSnapshotSide) return false;
  const std::vector<std::uint8_t> png = paint(drawn_, width, height).png();
  return files::write_all(text::utf8_to_cp949(png_path),
                          std::string_view(reinterpret_cast<const char*>(png.data()), png.size()))
      .ok();
}

}  // namespace pink::signpad::tally
