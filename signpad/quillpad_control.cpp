#include "signpad/quillpad_control.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <system_error>

#include "platform/clock.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "signpad/link.h"
#include "signpad/pad_keys.h"
#include "signpad/quillpad_members.h"

namespace pink::signpad::quill {

using automation::Member;
using automation::Value;

constinit const automation::ClassEntry kQuillpadClassEntry{&kClass, &make_quillpad_object};

namespace {

[[maybe_unused]] const bool kRegistered = (automation::register_class(kQuillpadClassEntry), true);

// Which event each notice timer fires, and the log line written first.
struct NoticeRow {
  Notice notice;
  std::int32_t event;
  const char* log;
};

constexpr NoticeRow kNotices[] = {
    {Notice::SignEnd, kOnSignEnd, "FireOnSignEnd event"},
    {Notice::SignCancel, kOnSignCancel, "FireOnSignCancel event"},
    {Notice::InputDataError, kOnInputDataError, "FireOnInputDataError event"},
    {Notice::CustInfoEnd, kOnCustInfoEnd, "FireOnCustInfoEnd event"},
    {Notice::PinEnd, kOnPinEnd, "FireOnPinEnd event"},
};

constexpr const char* kLogFolder = ".\\QUILL";
constexpr int kMaxSnapshotSide = 8192;
constexpr int kMaxWindowSide = 4096;  // what the canvas holds
constexpr const char* kCaption = "Quillpad";

std::string printf_text(const char* format, int a, int b) {
  char buf[96];
  std::snprintf(buf, sizeof buf, format, a, b);
  return buf;
}

}  // namespace

std::unique_ptr<automation::Object> make_quillpad_object() { return std::make_unique<QuillpadControl>(); }

// The window is created: the serial control becomes its child and the frame
// is painted.
QuillpadControl::QuillpadControl() : Object(kClass), initial_key_(key_from_hex(kQuillpadInitialKey)) {
  try {
    comm_ = std::make_unique<comm::CommControl>();
    comm_->on_comm([this](int event) { on_comm(event); });
  } catch (const std::exception&) {
    static const text::Literal kNoControl{"MSComm32.ocx가 설치되어 있지 않습니다.\n"};
    comm_.reset();
    msgbox::show(kNoControl.str(), kCaption);
  }
  paint();
}

QuillpadControl::~QuillpadControl() {
  log("OnDestroy Start");
  try {
    window().kill_timer(kResponseTimer);
    stop_pad();
  } catch (...) {
    // The window goes away whatever the port says.
  }
  stop_watcher();
  log("OnDestroy Done");
}

void QuillpadControl::run(const Member& member, std::span<Value> args, Value& result) {
  if (member.kind != automation::kMethod) {
    property(member, args, result);
    return;
  }
  switch (member.dispid) {
    case kDispElecSign: result = Value::i2(elec_sign(args[0].str, args[1].str)); break;
    case kDispSetPortNo: result = Value::i2(set_port_no(static_cast<std::int16_t>(args[0].num))); break;
    case kDispSetBaudRate: result = Value::i2(set_baud_rate(args[0].num)); break;
    case kDispGetSignBMP: result = Value::i2(get_sign_bmp(args[2].str)); break;
    case kDispGetSignData: result = Value::array(get_sign_data(args[0].num)); break;
    case kDispGetCustInfo:
      result = Value::i2(start_job(kJobCustInfo, cust_info_request(), "QuillGetCustInfo"));
      break;
    case kDispGetCustInfoData: result = Value::array(answer_data(kJobCustInfo, args[0].num)); break;
    case kDispCancel: result = Value::i2(cancel()); break;
    case kDispGetPin:
      result = Value::i2(
          start_job(kJobPin, pin_request(password_type_, args[0].str, args[1].str, args[2].str), "QuillGetPin"));
      break;
    case kDispGetPinData: result = Value::array(answer_data(kJobPin, args[0].num)); break;
    default: break;
  }
}

void QuillpadControl::property(const Member& member, std::span<Value> args, Value& result) {
  const bool put = member.kind == automation::kPut;
  std::string* text = nullptr;
  switch (member.dispid) {
    case kDispCustInfoData: text = &cust_info_; break;
    case kDispPinData: text = &pin_; break;
    case kDispSignStarted: text = &sign_started_; break;
    case kDispLog: text = &log_flag_; break;
    case kDispPassWordType:
      if (put) {
        password_type_ = static_cast<std::int16_t>(args[0].num);
      } else {
        result = Value::i2(password_type_);
      }
      return;
    default: return;
  }
  if (put) {
    *text = args[0].str;
  } else {
    result = Value::string(*text);
  }
}

// --- Members ------------------------------------------------------------------

std::int16_t QuillpadControl::elec_sign(const std::string& card_no, const std::string& tr_info) {
  kept_ = kept_bytes(card_no, tr_info);  // the signature record's digest covers them
  return start_job(kJobSign, sign_request(card_no, tr_info), "QuillElecSign");
}

std::int16_t QuillpadControl::set_port_no(std::int16_t port) {
  if (port <= 0) {
    port_ = 1;
    return 1;
  }
  port_ = port;
  return 0;
}

std::int16_t QuillpadControl::set_baud_rate(std::int32_t baud) {
  if (baud < 9600) {
    baud_ = kDefaultBaud;
    return 1;
  }
  baud_ = baud;
  return 0;
}

std::int16_t QuillpadControl::get_sign_bmp(const std::string& file_name) {
  log("QuillGetSignBMP Start");
  halt();
  log(printf_text("m_JobGubn=[%d] m_success=[%d]", receiver_.job(), receiver_.success() ? 1 : 0));
  if (!is_signature(receiver_.job()) || !receiver_.success()) return 9;
  const BitmapFile file = bitmap_file(receiver_.image());
  if (file_name.empty() || !files::write_all(file_name, std::string(file.begin(), file.end()))) {
    log("QuillGetSignBMP file cannot be written");
    return 9;
  }
  log("QuillGetSignBMP Done");
  return 1;
}

Bytes QuillpadControl::get_sign_data(std::int32_t& success) {
  log("QuillGetSignData Start");
  halt();
  success = 0;
  if (!is_signature(receiver_.job()) || !receiver_.success() || !initial_key_) return {};
  const QuillRecord record = quill_record(kept_, receiver_.image(), *initial_key_);
  console::out("non_zblock_cnt=" + std::to_string(record.stored_halves) + "\n");
  success = 1;
  log("QuillGetSignData Done");
  return record.bytes;
}

Bytes QuillpadControl::answer_data(int job, std::int32_t& success) {
  if (receiver_.job() != job || !receiver_.success()) {
    success = 0;
    return {};
  }
  success = 1;
  return receiver_.answer();
}

std::int16_t QuillpadControl::cancel() {
  log("QuillCancel Start");
  halt();
  log("QuillCancel Done");
  return 0;
}

// --- Jobs and the port -----------------------------------------------------------

std::int16_t QuillpadControl::start_job(int job, const Bytes& request, const char* name) {
  log(std::string(name) + " Start");
  halt();
  receiver_.reset(job);
  sign_started_.assign(1, 'N');
  layout_pending_ = true;
  paint();  // the view of an earlier job goes
  if (!open_port() || !send(request)) {
    log(std::string(name) + " port error");
    window().set_timer(kResponseTimer, kOpenFailureMs, [this] { on_response_timer(); });
    return 1;
  }
  window().set_timer(kResponseTimer, kResponseMs, [this] { on_response_timer(); });
  log(std::string(name) + " Done");
  return 0;
}

void QuillpadControl::halt() {
  window().kill_timer(kResponseTimer);
  stop_pad();
}

void QuillpadControl::stop_pad() {
  if (!comm_ || !comm_->port_open()) return;
  try {
    comm_->output(std::string_view(reinterpret_cast<const char*>(kStop.data()), kStop.size()));
  } catch (const std::exception&) {
    // The port is closed below all the same.
  }
  clock::sleep_ms(kStopPauseMs);
  stop_watcher();
  comm_->set_port_open(false);
}

bool QuillpadControl::open_port() {
  if (!comm_) return false;
  if (comm_->port_open()) return true;
  try {
    comm_->set_comm_port(port_);
    comm_->set_settings(std::to_string(baud_) + ",N,8,1");
    comm_->set_in_buffer_size(1024);
    comm_->set_out_buffer_size(512);
    comm_->set_rthreshold(1);
    comm_->set_input_len(0);
    comm_->set_input_mode(comm::InputMode::Binary);
    comm_->set_dtr_enable(true);
    comm_->set_rts_enable(false);
    comm_->set_port_open(true);
    // A freshly opened port starts with an empty input queue.
    comm_->set_in_buffer_count(0);
  } catch (const std::exception& e) {
    log(std::string("port open error: ") + e.what());
    comm_->set_port_open(false);
    return false;
  }
  start_watcher();
  return true;
}

void QuillpadControl::start_watcher() {
  serial::Port* port = comm_->port();
  port->set_event_mask(serial::kEventRxChar);
  {
    std::lock_guard<std::mutex> hold(watch_lock_);
    watch_stop_ = false;
    watch_posted_ = false;
  }
  watcher_ = std::thread([this, port] { watch(port); });
}

// Ends the watcher before its port goes. Its wait is woken by the changed
// event mask, or ends by itself within kWatchMs.
void QuillpadControl::stop_watcher() noexcept {
  if (!watcher_.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(watch_lock_);
    watch_stop_ = true;
  }
  watch_cv_.notify_all();
  if (serial::Port* port = comm_->port()) port->set_event_mask(serial::kEventNone);
  watcher_.join();
}

// The watcher thread: it never touches the serial control, the parser or
// the window's picture; it hands the receive event to the window and waits
// until the window has run it.
void QuillpadControl::watch(serial::Port* port) {
  for (;;) {
    {
      std::lock_guard<std::mutex> hold(watch_lock_);
      if (watch_stop_) return;
    }
    const std::uint64_t asked = clock::monotonic_ms();
    const std::uint32_t events = port->wait_event(kWatchMs);
    if (!(events & serial::kEventRxChar) && port->input_count() == 0) {
      // A port that fails its waits at once is not watched in a busy loop.
      if (events == 0 && clock::monotonic_ms() == asked) clock::sleep_ms(kWatchMs);
      continue;
    }
    std::unique_lock<std::mutex> hold(watch_lock_);
    if (watch_stop_) return;
    watch_posted_ = true;
    if (!host_.post(kCommRead, 0, 0)) window().post([this] { on_receive(); });
    watch_cv_.wait(hold, [this] { return !watch_posted_ || watch_stop_; });
  }
}

void QuillpadControl::on_receive() {
  if (comm_) comm_->poll_events();
  {
    std::lock_guard<std::mutex> done(watch_lock_);
    watch_posted_ = false;
  }
  watch_cv_.notify_all();
}

void QuillpadControl::message(std::uint32_t message, std::uintptr_t, std::intptr_t) {
  if (message == kCommRead) as_window([this] { on_receive(); });
}

bool QuillpadControl::send(const Bytes& bytes) {
  try {
    comm_->output(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    return true;
  } catch (const std::exception& e) {
    log(std::string("write error: ") + e.what());
    return false;
  }
}

// The serial control's receive event: everything waiting goes through the
// answer recognition, and what it asks for is done in order.
void QuillpadControl::on_comm(int event) {
  if (event != comm::kEvReceive || !comm_ || !comm_->port_open()) return;
  std::string input;
  try {
    input = comm_->input();
  } catch (const std::exception& e) {
    log(std::string("read error: ") + e.what());
    return;
  }
  if (input.empty()) return;
  window().kill_timer(kResponseTimer);
  std::vector<Effect> effects;
  receiver_.feed(std::span(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()), effects);
  for (const Effect& e : effects) apply(e);
}

void QuillpadControl::apply(const Effect& effect) {
  switch (effect.kind) {
    case Effect::Kind::Acknowledged: window().kill_timer(kResponseTimer); break;
    case Effect::Kind::Point:
      draw_point(effect.x, effect.y);
      sign_started_.assign(1, 'Y');
      break;
    case Effect::Kind::Answer:
      (receiver_.job() == kJobPin ? pin_ : cust_info_) = receiver_.answer_text();
      log(printf_text("m_JobGubn=[%d] m_success=[%d]", receiver_.job(), 1));
      break;
    case Effect::Kind::StopPad: stop_pad(); break;
    case Effect::Kind::Notify: {
      const Notice notice = effect.notice;
      window().set_timer(static_cast<int>(notice), kNoticeDelayMs, [this, notice] { on_notice(notice); });
      break;
    }
  }
}

void QuillpadControl::on_response_timer() {
  window().kill_timer(kResponseTimer);
  stop_pad();
  log("FireOnPadError event");
  fire(kOnPadError, {});
}

void QuillpadControl::on_notice(Notice notice) {
  window().kill_timer(static_cast<int>(notice));
  for (const NoticeRow& row : kNotices) {
    if (row.notice != notice) continue;
    log(row.log);
    fire(row.event, {});
    return;
  }
}

// --- The window ------------------------------------------------------------------

// A repaint draws the frame over the control's bounds; the first one after
// a job reset also fixes how the pad's area maps onto the window.
void QuillpadControl::paint() {
  const int w = canvas_.width(), h = canvas_.height();
  canvas_.reset(w, h);
  canvas_.rectangle(0, 0, w, h, kBlack, kWhite);
  host_.invalidate();
  if (!layout_pending_) return;
  layout_pending_ = false;
  scale_ = std::min(w / kPadWidth, h / kPadHeight);
  if (scale_ == 0) {
    scale_ = 1;
    offset_x_ = offset_y_ = 0;
  } else {
    offset_x_ = w / 2 - (kPadWidth / 2) * scale_;
    offset_y_ = h / 2 - (kPadHeight / 2) * scale_;
  }
}

void QuillpadControl::draw_point(int x, int y) {
  const int s = scale_;
  canvas_.ellipse(s * (x - 1) + offset_x_, s * (y - 1) + offset_y_, s * (x + 1) + offset_x_,
                  s * (y + 1) + offset_y_, kBlack);
  host_.invalidate();
}

void QuillpadControl::resize(int width, int height) {
  width = std::clamp(width, 1, kMaxWindowSide);
  height = std::clamp(height, 1, kMaxWindowSide);
  if (width == canvas_.width() && height == canvas_.height()) return;
  canvas_.reset(width, height);
  paint();
}

automation::Picture QuillpadControl::picture() {
  return automation::Picture{canvas_.width(), canvas_.height(), canvas_.xrgb()};
}

bool QuillpadControl::snapshot(const std::string& png_path, int width, int height) {
  if (width < 1 || height < 1 || width > kMaxSnapshotSide || height > kMaxSnapshotSide) return false;
  if (width != canvas_.width() || height != canvas_.height()) {
    canvas_.reset(width, height);
    paint();
  }
  const std::vector<std::uint8_t> png = canvas_.png();
  return files::write_all(text::utf8_to_cp949(png_path), std::string(png.begin(), png.end())).ok();
}

// --- The day log -----------------------------------------------------------------

void QuillpadControl::log(const std::string& text) noexcept {
  if (log_flag_ != "Y") return;
  try {
    const clock::LocalTime t = clock::now_local();
    char name[64], stamp[32];
    std::snprintf(name, sizeof name, "%s\\Quillpad-%04d%02d%02d.DAT", kLogFolder, t.year, t.month, t.day);
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d:%03d", t.hour, t.minute, t.second, t.millisecond);
    const std::string line = std::string(stamp) + " : " + text + "\n";
    if (files::append(name, line) != files::AppendStatus::PathNotFound) return;
    files::make_folder(kLogFolder);
    files::append(name, line);
  } catch (...) {
    // The line is lost; the job is not.
  }
}

}  // namespace pink::signpad::quill
