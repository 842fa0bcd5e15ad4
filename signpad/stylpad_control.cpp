#include "signpad/stylpad_control.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "platform/appfile.h"
#include "platform/files.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "signpad/link.h"
#include "signpad/stylpad_members.h"

namespace pink::signpad::styl {
namespace {

using automation::Value;

constexpr std::uint32_t kBaud = 38400;
constexpr int kTextHeight = 16;
constexpr std::string_view kCaption = "Stylpad";
constexpr std::string_view kSignDataFolder = "SIGNDATA";
constexpr std::string_view kSignDataVariable = "PINK_STYLPAD_SIGNDATA";
constexpr std::size_t kFolderBound = 150;
constexpr std::size_t kPathBound = 300;
constexpr std::size_t kAmountBytes = 10;
constexpr int kMaxSide = 4096;  // of the window's picture

constexpr Rgb kPinPictureFill{0xDC, 0xE6, 0xF0};
constexpr Rgb kPinPictureInk{0x30, 0x40, 0x58};

std::string date6(const clock::LocalTime& t) {
  char d[16];
  std::snprintf(d, sizeof d, "%02d%02d%02d", t.year % 100, t.month, t.day);
  return d;
}

}  // namespace

// --- logs and paths ------------------------------------------------------------

std::string comm_log_name(std::string_view prefix, const clock::LocalTime& t) {
  return std::string(prefix) + "comm_log" + date6(t) + ".txt";
}

std::string result_log_name(std::string_view prefix, const clock::LocalTime& t) {
  return std::string(prefix) + "result" + date6(t) + ".txt";
}

std::string comm_log_line(const clock::LocalTime& t, std::span<const std::uint8_t> frame) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "[%02d:%02d:%02d]-", t.hour % 100, t.minute % 100, t.second % 100);
  std::string line(stamp);
  for (const std::uint8_t b : frame) {
    if (b >= 0x20 && b <= 0x7E) {
      line += static_cast<char>(b);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "[%02x]", b);
      line += hex;
    }
  }
  line += "\r\n";
  return line;
}

std::optional<CopyPlace> signdata_place(std::string_view signdata_folder) {
  const std::size_t own = kSignDataFolder.size() + 1;  // "\SIGNDATA"
  if (signdata_folder.size() > kFolderBound + own || signdata_folder.size() > kPathBound) return std::nullopt;
  return CopyPlace{std::string(signdata_folder), std::string(signdata_folder) + "\\signtemp.bmp"};
}

std::string pin_length_of(std::string_view text) {
  std::string two(text.substr(0, 2));
  if (two.size() < 2) two.insert(0, 2 - two.size(), '0');
  return two;
}

std::string amount_of(std::string_view outamt) {
  std::size_t cut = 0;
  while (cut < outamt.size()) {
    const std::size_t n = text::char_length_at(outamt, cut);
    if (n == 0 || cut + n > kAmountBytes) break;
    cut += n;
  }
  return std::string(outamt.substr(0, cut));
}

// --- the comm port object ---------------------------------------------------------

// The link of one pad job and the window its watch thread notifies: the
// notifications become work of the control's pump, marked with the job they
// belong to, so that nothing of an earlier job reaches a later one.
struct StylpadControl::Job final : LinkWindow {
  Job(StylpadControl& c, std::uintptr_t g) : control(c), generation(g), link(kStylLink, *this) {}
  void post(std::uint32_t message, std::uintptr_t port) override { control.post_link(generation, message, port); }
  void message_box(std::string_view text_cp949) override { msgbox::show(text_cp949, kCaption); }

  StylpadControl& control;
  const std::uintptr_t generation;
  PadLink link;
};

constinit const automation::ClassEntry kClassEntry{&kClass, &make_object};

namespace {
[[maybe_unused]] const bool kRegistered = (automation::register_class(kClassEntry), true);
}  // namespace

std::unique_ptr<automation::Object> make_object() { return std::make_unique<StylpadControl>(); }

StylpadControl::StylpadControl() : Object(kClass) {}

// The pad is left as the job found it: a sign pad job is closed with NoSign,
// a PIN pad job with init.
StylpadControl::~StylpadControl() {
  if (!connected()) return;
  send(session_.mode() == Mode::Sign ? std::span<const std::uint8_t>(kNoSignFrame)
                                     : std::span<const std::uint8_t>(kInitFrame));
  job_->link.close();
}

// --- members ----------------------------------------------------------------------

void StylpadControl::run(const automation::Member& member, std::span<Value> args, Value& result) {
  switch (member.dispid) {
    case kDispOpenSign: result = Value::i4(open_job(Mode::Sign, args[0].str, args[1].num, args[2].str)); break;
    case kDispOpenPinpad: result = Value::i4(open_job(Mode::Pin, args[0].str, args[1].num, {})); break;
    case kDispSetAmt: amount_ = std::to_string(args[0].num); break;
    case kDispGetSigndata: result = Value::string(signature_); break;
    case kDispAcceptSign: result = Value::i4(accept_sign()); break;
    case kDispClr: result = Value::i4(clear()); break;
    case kDispNoSign: result = Value::i4(no_sign()); break;
    case kDispSetImgName:
      image_name_ = image_name(args[0].str);
      result = Value::i4(0);
      break;
    case kDispPinpadValue: result = Value::string(pin_); break;
    case kDispCheckConfirm: result = Value::i2(confirm_); break;
    case kDispGetRtnVal: result = Value::i4(result_); break;
    case kDispSetPinLen: pin_length_ = pin_length_of(args[0].str); break;
    case kDispExitPinPad:
      end_job();
      result = Value::i4(0);
      break;
    case kDispAboutBox: msgbox::show("Stylpad Control, Version 1.0", "About Stylpad"); break;
    default: run_property(member, args, result); break;
  }
}

void StylpadControl::run_property(const automation::Member& member, std::span<Value> args, Value& result) {
  const bool put = member.kind == automation::kPut;
  switch (member.dispid) {
    case kDispProcessClock:
      if (put) {
        process_clock_ = args[0].num != 0;
        modified_ = true;
      } else {
        result = Value::boolean(process_clock_);
      }
      break;
    case kDispFrameWidth:
    case kDispFrameHeight: {
      std::int16_t& size = member.dispid == kDispFrameWidth ? frame_width_ : frame_height_;
      if (put) {
        size = static_cast<std::int16_t>(args[0].num);
        modified_ = true;  // the host saves the control's properties
      } else {
        result = Value::i2(size);
      }
      break;
    }
    default: break;
  }
}

// OpenSign and OpenPinpad: 0 started; -1 the port did not open (no job is
// left behind); -2 the port is not 1..9; -3 init was not written whole; -4
// a pad job is still open.
std::int32_t StylpadControl::open_job(Mode mode, std::string_view log_path, std::int32_t port,
                                      std::string_view amount) {
  if (port < 1 || port > 9) {
    report(Error::PortRange);
    return -2;
  }
  if (job_) {
    msgbox::show(text::utf8_to_cp949(kJobStillOpen), kCaption);
    return -4;
  }
  log_path_ = std::string(log_path);
  session_.begin(mode);
  recognizer_.reset();
  confirm_ = 0;
  result_ = kResultNone;
  status_.clear();
  clear_points();
  if (mode == Mode::Sign) {
    amount_ = amount_of(amount);
    signature_.clear();
  } else {
    pin_.clear();
  }
  job_ = std::make_shared<Job>(*this, ++generation_);
  if (!job_->link.open(port, kBaud)) {
    job_.reset();
    report(mode == Mode::Sign ? Error::SignPortOpen : Error::PinPortOpen);
    return -1;
  }
  if (!send_init()) {
    end_job();
    report(Error::InitWrite);
    return -3;
  }
  return 0;
}

std::int32_t StylpadControl::accept_sign() {
  trace("CStylpadCtrl::AcceptSign");
  if (session_.mode() == Mode::Pin) {
    report(Error::AcceptInPinMode);
    return -1;
  }
  if (points_.empty()) {
    status_ = kStatusSignEmpty;
    clear_points();
    return 0;
  }
  if (!connected()) return result_;
  if (!send(kAcceptFrame)) {
    report(Error::LostOnAccept);
    end_job();
    return result_;
  }
  confirm_ = 3;
  return 2;
}

std::int32_t StylpadControl::clear() {
  if (!connected()) {
    report(Error::ClearNotOpen);
    return -1;
  }
  if (session_.mode() == Mode::Pin) {
    report(Error::ClearInPinMode);
    return 0;
  }
  if (!send(kClearFrame)) {
    report(Error::LostOnClear);
    end_job();
    return 1;
  }
  clear_points();
  return 0;
}

std::int32_t StylpadControl::no_sign() {
  if (session_.mode() == Mode::Pin) {
    report(Error::NoSignInPinMode);
    return 0;
  }
  if (!send(kNoSignFrame)) {
    report(Error::LostOnNoSign);
    end_job();
    return 1;
  }
  status_ = kStatusSignEmpty;
  clear_points();
  session_.request_close();
  return 0;
}

// --- the pad job ------------------------------------------------------------------

bool StylpadControl::connected() const { return job_ && job_->link.connected(); }

bool StylpadControl::send(std::span<const std::uint8_t> frame) {
  if (!connected()) return false;
  log_frame(frame);
  return job_->link.write(frame) == frame.size();
}

// Init, watched by timer 1004, whose first tick comes at once.
bool StylpadControl::send_init() {
  trace("CStylpadCtrl::Init_SignPad");
  const bool whole = send(kInitFrame);
  session_.init_sent();
  window().set_timer(kInitTimer, kInitTimerMs, [this] { on_init_timer(); });
  on_init_timer();
  return whole;
}

void StylpadControl::on_init_timer() {
  char line[48];
  std::snprintf(line, sizeof line, "OnTimer_ID_EVENT_READ [%d] ", session_.ticks() + 1);
  trace(line);
  switch (session_.tick()) {
    case InitTick::Wait: break;
    case InitTick::Resend: send_init(); break;
    case InitTick::GiveUp:
      report(session_.mode() == Mode::Sign ? Error::NoSignInitAnswer : Error::NoPinInitAnswer);
      end_job();
      break;
  }
}

// The link's watch thread ends and its close notification releases the job.
void StylpadControl::end_job() {
  window().kill_timer(kInitTimer);
  if (!connected()) return;
  trace("CStylpadCtrl::EXIT_SIGNPAD");
  job_->link.close();
  recognizer_.reset();
}

// To the real window when there is one (the job in lParam), else to the
// window work.
void StylpadControl::post_link(std::uintptr_t generation, std::uint32_t message, std::uintptr_t port) {
  if (host_.post(message, port, static_cast<std::intptr_t>(generation))) return;
  window().post([this, generation, message] {
    if (message == kCommRead) on_comm_read(generation);
    if (message == kCommClose) on_comm_close(generation);
  });
}

void StylpadControl::message(std::uint32_t message, std::uintptr_t, std::intptr_t lparam) {
  const auto generation = static_cast<std::uintptr_t>(lparam);
  as_window([this, message, generation] {
    if (message == kCommRead) on_comm_read(generation);
    if (message == kCommClose) on_comm_close(generation);
  });
}

void StylpadControl::on_comm_read(std::uintptr_t generation) {
  const std::shared_ptr<Job> job = job_;  // the link outlives this handler
  if (!job || job->generation != generation) return;
  std::vector<std::uint8_t> burst;
  std::uint8_t chunk[4096];
  while (const std::size_t n = job->link.take(chunk)) burst.insert(burst.end(), chunk, chunk + n);
  if (job->link.connected() && !burst.empty()) {
    trace("CStylpadCtrl::proc_svc");
    std::vector<Bytes> frames;
    recognizer_.feed(burst, frames);
    for (const Bytes& f : frames) {
      if (job_ != job || !job->link.connected()) break;  // the job ended: the rest was its own
      log_frame(f);
      react(session_.answer(f), f);
    }
  }
  job->link.handled();
  host_.invalidate();
}

void StylpadControl::on_comm_close(std::uintptr_t generation) {
  if (!job_ || job_->generation != generation) return;
  job_.reset();
  fire(kEventGetOCXMsg, {Value::string(status_)});
}

void StylpadControl::react(const Reaction& r, std::span<const std::uint8_t> frame) {
  if (r.stops_init_timer) window().kill_timer(kInitTimer);
  switch (r.step) {
    case Step::Ignore: break;
    case Step::SendSignRequest: send_request(kSignRequest, "SIGN"); break;
    case Step::SendPinRequest: send_request(kPinRequest, "PIN"); break;
    case Step::CloseOnAck: end_job(); break;
    case Step::PinEscape: result_ = kResultEscape; break;
    case Step::ResendInit: send_init(); break;
    case Step::Point: points_.add(r.x, r.y); break;
    case Step::ScreenCleared: clear_points(); break;
    case Step::End: end_job(); break;
    case Step::EscapeEnd:
      result_ = kResultEscape;
      end_job();
      break;
    case Step::Signature:
      on_signature(frame);
      end_job();
      break;
    case Step::Pin:
      pin_ = r.pin;
      pin_picture_ = true;
      status_ = kStatusDonePin;
      result_ = kResultPin;
      end_job();
      break;
  }
}

// The request that follows the acknowledged init; readyTOsignAction only
// when it went out whole.
void StylpadControl::send_request(const Recipe& recipe, std::string_view flag) {
  static const std::string key = sign_key_text();
  if (!send(build(recipe, {key, amount_, pin_length_}))) {
    report(Error::LostOnClear);
    end_job();
    return;
  }
  fire(kEventReadyToSign, {Value::string(std::string(flag))});
}

void StylpadControl::on_signature(std::span<const std::uint8_t> frame) {
  trace("CStylpadCtrl::file_write");
  const SignatureBitmap bitmap = signature_bitmap(frame);
  clear_points();
  result_ = kResultNone;
  if (!bitmap.ok) {
    report(Error::BitmapConversion);
    return;
  }
  const std::string_view bytes(reinterpret_cast<const char*>(bitmap.file.data()), bitmap.file.size());
  if (!files::write_all(image_name_, bytes)) {
    report(Error::ImagePath);
    return;
  }
  signature_ = styl2_string(std::span(bitmap.file).subspan<kBitmapHeaderBytes, kImageBytes>());
  result_ = kResultSigned;
  status_ = kStatusDoneSign;
  copy_to_signdata(bitmap.file);
}

// The copy beside the host program; a copy that cannot be made is traced and
// costs the signature nothing.
void StylpadControl::copy_to_signdata(const BitmapFile& file) {
  const auto place = signdata_place(appfile::beside_program(kSignDataFolder, kSignDataVariable));
  const std::string_view bytes(reinterpret_cast<const char*>(file.data()), file.size());
  if (!place || (!files::exists(place->folder) && !files::make_folder(place->folder)) ||
      !files::write_all(place->file, bytes)) {
    trace("CStylpadCtrl::file_write signtemp.bmp not copied");
  }
}

void StylpadControl::report(Error e) {
  status_ = error_text(e);
  fire(kEventErrCode, {Value::i4(error_row(e).code), Value::string(status_)});
}

// The list is emptied and the window repainted.
void StylpadControl::clear_points() {
  points_.clear();
  pin_picture_ = false;
  host_.invalidate();
}

// --- logs ---------------------------------------------------------------------------

// Each line opens, appends and closes its file; a line that cannot be written
// is lost, never the job.
void StylpadControl::trace(std::string_view text) const {
  files::append(result_log_name(log_path_, clock::now_local()), std::string(text) + "\r\n");
}

void StylpadControl::log_frame(std::span<const std::uint8_t> frame) const {
  const clock::LocalTime now = clock::now_local();
  files::append(comm_log_name(log_path_, now), comm_log_line(now, frame));
}

// --- painting -------------------------------------------------------------------------

void StylpadControl::paint(Canvas& canvas) const {
  static const text::Literal kSignDone{kPaintSignDone};
  static const text::Literal kPinDone{kPaintPinDone};
  canvas.fill(kWhite);
  if (result_ == kResultSigned) canvas.text(0, 0, kSignDone.str(), kTextHeight, kBlack);
  if (result_ == kResultPin) canvas.text(0, 0, kPinDone.str(), kTextHeight, kBlack);
  for (const auto& [x, y] : points_.points()) canvas.ellipse(2 * x - 2, 2 * y - 2, 2 * x + 2, 2 * y + 2, kDotColour);
  if (pin_picture_) {
    canvas.rectangle(0, 0, kPinPictureWidth, kPinPictureHeight, kPinPictureInk, kPinPictureFill);
    canvas.text(12, 12, kPinDone.str(), kTextHeight + 4, kPinPictureInk);
  }
}

void StylpadControl::resize(int width, int height) {
  width_ = std::clamp(width, 1, kMaxSide);
  height_ = std::clamp(height, 1, kMaxSide);
  host_.invalidate();
}

automation::Picture StylpadControl::picture() {
  Canvas canvas(width_, height_);
  paint(canvas);
  return automation::Picture{canvas.width(), canvas.height(), canvas.xrgb()};
}

std::span<const std::string_view> StylpadControl::persisted() const {
  static constexpr std::string_view kPersisted[] = {"processClock", "signpadframWidth", "signpadframHeight"};
  return kPersisted;
}

bool StylpadControl::snapshot(const std::string& png_path, int width, int height) {
  Canvas canvas(width, height);
  paint(canvas);
  const std::vector<std::uint8_t> png = canvas.png();
  return files::write_all(text::utf8_to_cp949(png_path),
                          std::string_view(reinterpret_cast<const char*>(png.data()), png.size()))
      .ok();
}

}  // namespace pink::signpad::styl
