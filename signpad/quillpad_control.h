// The quillpad control "QUILLPAD.QuillpadCtrl" (".1") as an automation
// object: its members (signpad/quillpad_members.h) drive a quillpad over the
// serial control, its window work (the serial control's receive event, the
// response timer and the event timers) runs in pump() on the caller's
// thread, and its window is an off-screen canvas that snapshot() writes as
// a PNG. A watcher thread only waits for received bytes and hands the
// receive event over; nothing is parsed, drawn or fired off the caller's
// thread.
//
// A job (signature, customer information, PIN) stops the response timer and
// the pad, resets the buffers, opens the port when it is closed, sends its
// request and arms the response timer (2000 ms); any received data stop it,
// and its expiry stops the pad and fires OnPadError. A port that cannot be
// opened makes the method report 1 and OnPadError follow 200 ms later; the
// next request tries the port again ($PINK_COMn is read at every open).
// Answers arm one-shot 200 ms timers (11 to 15) that log and fire the event.
//
// With strYNLog "Y" the control keeps a day log: ".\QUILL\Quillpad-YYYYMMDD.DAT"
// (Linux: ./QUILL/..., relative to the current folder; the folder is created
// when missing), one line "HH:MM:SS:mmm : text" per step. A line that cannot
// be written is lost; the job goes on.
//
// When a host gives the control a real window (automation/view.h), the
// receive event is posted to that window (WM_USER + 1) and runs as its
// message, and the window repaints as points arrive; the picture follows
// the window's size (a new size repaints: the frame is drawn again and the
// points drawn so far leave the view).
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>

#include "automation/object.h"
#include "automation/registry.h"
#include "automation/view.h"
#include "crypto/des.h"
#include "platform/comm.h"
#include "platform/serial.h"
#include "signpad/canvas.h"
#include "signpad/quillpad_protocol.h"

namespace pink::signpad::quill {

class QuillpadControl final : public automation::Object, public automation::View {
 public:
  // The window's size until a snapshot asks for another one: the pad's
  // 128 x 64 area at double scale.
  static constexpr int kDefaultWidth = 256;
  static constexpr int kDefaultHeight = 128;
  // How long the receive watcher waits before it looks at the port again
  // on its own.
  static constexpr std::uint32_t kWatchMs = 50;
  static constexpr int kDefaultPort = 1;
  static constexpr std::int32_t kDefaultBaud = 57600;

  QuillpadControl();
  ~QuillpadControl() override;

  // The window at width x height as a PNG file (UTF-8 path). A size other
  // than the window's resizes it, and a resize repaints: the frame is drawn
  // again and the pen points drawn so far leave the view.
  bool snapshot(const std::string& png_path, int width, int height) override;

  // View: the control's real window.
  void attach(automation::ViewHost* host) override { host_.attach(host); }
  void resize(int width, int height) override;
  automation::Picture picture() override;
  void message(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) override;

 protected:
  void run(const automation::Member& member, std::span<automation::Value> args,
           automation::Value& result) override;

 private:
  void property(const automation::Member& member, std::span<automation::Value> args, automation::Value& result);

  // Members.
  std::int16_t elec_sign(const std::string& card_no, const std::string& tr_info);
  std::int16_t set_port_no(std::int16_t port);
  std::int16_t set_baud_rate(std::int32_t baud);
  std::int16_t get_sign_bmp(const std::string& file_name);
  Bytes get_sign_data(std::int32_t& success);
  Bytes answer_data(int job, std::int32_t& success);
  std::int16_t cancel();

  // Jobs and the port.
  std::int16_t start_job(int job, const Bytes& request, const char* name);
  void halt();      // the response timer and the pad stopped
  void stop_pad();  // five ESC, a pause, the port closed
  bool open_port();
  void start_watcher();
  void stop_watcher() noexcept;
  void watch(serial::Port* port);
  void on_receive();  // the watcher's notification, on the window's thread
  bool send(const Bytes& bytes);
  void on_comm(int event);
  void apply(const Effect& effect);
  void on_response_timer();
  void on_notice(Notice notice);

  // The window.
  void paint();
  void draw_point(int x, int y);

  void log(const std::string& text) noexcept;

  std::unique_ptr<comm::CommControl> comm_;
  // The serial control's receive notifications: while the port is open a
  // watcher thread waits for received bytes and hands the receive event to
  // the window, then waits until the window has taken what was there.
  std::thread watcher_;
  std::mutex watch_lock_;
  std::condition_variable watch_cv_;
  bool watch_stop_ = false;    // guarded by watch_lock_
  bool watch_posted_ = false;  // guarded by watch_lock_
  int port_ = kDefaultPort;
  std::int32_t baud_ = kDefaultBaud;
  Receiver receiver_;
  std::array<std::uint8_t, kQuillKeptBytes> kept_{};
  std::optional<crypto::des::Block> initial_key_;

  std::string cust_info_;
  std::string pin_;
  std::int16_t password_type_ = 0;
  std::string sign_started_ = "N";
  std::string log_flag_ = "N";

  automation::HostLink host_;
  Canvas canvas_{kDefaultWidth, kDefaultHeight};
  bool layout_pending_ = true;  // the scale is computed at the next repaint
  int scale_ = 1, offset_x_ = 0, offset_y_ = 0;
};

std::unique_ptr<automation::Object> make_quillpad_object();

// The class as the registry knows it; registered under both ProgIDs when the
// program or library that links the object starts.
extern const automation::ClassEntry kQuillpadClassEntry;

}  // namespace pink::signpad::quill
