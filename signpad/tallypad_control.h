// The tallypad control "TALLYPAD.TallypadCtrl" (".1"): a signature and PIN
// pad with a card reader on a serial port, as an automation object (members
// in signpad/tallypad_members.h).
//
// Every request member runs one exchange: it closes the port if it is open
// (and waits 100 ms), forgets what was received, records its mode, opens the
// port (COMn from SetPortNo, at the speed of SetBaudRate; on Linux
// $PINK_COMn is looked up at every open) and writes its frame; it returns 1
// when the frame went out whole. A request whose port does not open, or whose
// frame is not written whole, returns 0 and leaves no exchange behind (the
// port closed, no mode); the next request tries the port again. Arguments
// that make no frame (an id that does not start and end with two hex digits,
// card info without a count of 0 to 15 records or shorter than them) are
// refused with 0 before anything changes. Received bytes are read by the link's
// watch thread and parsed in pump(): pen points are drawn and set in the
// point image, and a complete answer is acknowledged, the port closed, the
// data kept for the request's Data member and its event fired. An answer
// that never comes leaves the control waiting: the pad has no time-out.
//
// Speeds: 9600, 14400, 19200, 38400, 57600 and 128000 are used as given; any
// other rate of 9600 or more opens at 115200. On Linux 14400 and 128000 have
// no terminal rate, so the open fails and the request returns 0.
//
// The window: a rectangle over the control's bounds and the pen points drawn
// since the last repaint at double scale, centred when the window is larger
// than 256 x 128; snapshot() draws it at the asked size. When a host gives
// the control a real window (automation/view.h), the link's notifications
// are posted to that window (WM_USER + 1) and handled as its messages, and
// the window is asked to repaint as points arrive; its picture follows its
// size, and the points stay in it until the pad clears its screen.
#pragma once

#include <bitset>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "automation/object.h"
#include "automation/registry.h"
#include "automation/view.h"
#include "signpad/canvas.h"
#include "signpad/capture.h"
#include "signpad/link.h"
#include "signpad/tallypad_protocol.h"

namespace pink::signpad::tally {

inline constexpr int kDefaultPort = 1;
inline constexpr std::int32_t kDefaultBaud = 38400;
inline constexpr std::int32_t kFallbackBaud = 115200;
inline constexpr std::int32_t kLowestBaud = 9600;
// The wait after closing the port before a new exchange opens it.
inline constexpr std::uint32_t kReopenDelayMs = 100;
// The largest picture snapshot() draws, in each direction.
inline constexpr int kMaxSnapshotSide = 4096;

// The speed the port opens at for a rate SetBaudRate accepted.
std::uint32_t open_speed(std::int32_t rate);

// The window's picture at a size: the frame rectangle and the pen points
// drawn since the last repaint (pad coordinates, bit 256 y + x).
using DrawnPoints = std::bitset<256 * 256>;
Canvas paint(const DrawnPoints& drawn, int width, int height);

class TallypadControl final : public automation::Object, public automation::View, private LinkWindow {
 public:
  TallypadControl();
  ~TallypadControl() override;

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
  // LinkWindow: the watch thread's notifications, run by pump().
  void post(std::uint32_t message, std::uintptr_t wparam) override;
  void message_box(std::string_view text_cp949) override;

  std::int16_t request(Mode mode, std::span<const automation::Value> args);
  void data(Mode mode, automation::Value& event_ret, automation::Value& result);
  std::int16_t save_bitmap(const std::string& path_cp949) const;
  void on_read();
  void on_step(const Step& step);
  void finish();
  void repaint();

  automation::HostLink host_;
  int width_ = 256, height_ = 128;  // the window's size
  PadLink link_;
  AnswerParser parser_;
  Mode mode_ = Mode::None;
  bool ready_ = false;        // the answer of mode_ is complete
  int port_ = kDefaultPort;
  std::int32_t baud_ = kDefaultBaud;
  PointImage image_{};
  DrawnPoints drawn_;
  std::uint64_t exchange_ = 0;  // counts requests, so a burst stops when a new one starts
};

std::unique_ptr<automation::Object> make_object();

// The class as the registry knows it; registered under both ProgIDs when the
// module that links the control starts.
extern const automation::ClassEntry kClassEntry;

}  // namespace pink::signpad::tally
