// The stylpad control "STYLPAD.StylPadCtrl.1": an automation object that
// drives a stylpad signature pad (which is also a PIN pad) over the pad link.
//
// A pad job starts with OpenSign or OpenPinpad: the link is opened on
// "COMn" (1..9) at 38400 baud and init is sent, watched by timer 1004. The
// pad's answers arrive through the link's watch thread and are handled in
// pump() on the caller's thread, as the control's window handles them: the
// sign request goes out when the pad acknowledges init, pen points are
// listed and painted, the signature data become the bitmap file named by
// SetImgName (and a copy "signtemp.bmp" in the folder SIGNDATA beside the
// host program), a PIN becomes pinpadValue. When the job ends the link is
// closed; its close notification releases it and fires GetOCXMsg with the
// status text. When a host gives the control a real window
// (automation/view.h), the link's notifications (WM_USER + 1 and + 2, the
// port number as wParam) are posted to that window and handled as its
// messages, and the window repaints as the picture changes; processClock,
// signpadframWidth and signpadframHeight are what the host persists, and
// setting any of them marks the control modified, so that a host that saves
// only modified controls keeps the change. Every frame sent or received goes to the comm log, the trace
// texts to the result log (both under the LogPath prefix, one file a day).
//
// Linux: PINK_COMn names the port's device (read at every open);
// PINK_STYLPAD_SIGNDATA, when set, is the folder of the signature copy
// instead of SIGNDATA beside the program.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "automation/object.h"
#include "automation/registry.h"
#include "automation/view.h"
#include "platform/clock.h"
#include "signpad/canvas.h"
#include "signpad/stylpad_protocol.h"

namespace pink::signpad::styl {

// --- logs and paths (pure) -------------------------------------------------------

// "%scomm_log%.6s.txt" and "%sresult%.6s.txt": the prefix, then the date as "%y%m%d".
std::string comm_log_name(std::string_view prefix, const clock::LocalTime& t);
std::string result_log_name(std::string_view prefix, const clock::LocalTime& t);
// "[HH:MM:SS]-", then each byte as itself when printable (0x20..0x7E) or as
// "[%02x]", then the line end.
std::string comm_log_line(const clock::LocalTime& t, std::span<const std::uint8_t> frame);

// The copy of a signature beside the host program: the folder ("%.150s\\SIGNDATA"
// of the program's folder, given here with SIGNDATA) and the file
// ("%.300s\\signtemp.bmp"). Nothing when the program's folder is longer than
// its 150 bytes: cut, it would name another folder.
struct CopyPlace {
  std::string folder;
  std::string file;
};
std::optional<CopyPlace> signdata_place(std::string_view signdata_folder);

// The PIN length kept by SetPinLen: its first two characters, right-aligned
// and filled with '0' when there are fewer ("4" -> "04").
std::string pin_length_of(std::string_view text);

// The first 10 bytes of the amount, never splitting a double-byte character.
std::string amount_of(std::string_view outamt);

// --- the control -------------------------------------------------------------------

inline constexpr Rgb kDotColour{0x64, 0x80, 0x80};
inline constexpr int kPinPictureWidth = 295;
inline constexpr int kPinPictureHeight = 610;

class StylpadControl final : public automation::Object, public automation::View, public automation::Persistent {
 public:
  StylpadControl();
  ~StylpadControl() override;

  // View: the control's real window.
  void attach(automation::ViewHost* host) override { host_.attach(host); }
  void resize(int width, int height) override;
  automation::Picture picture() override;
  void message(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) override;

  // Persistent: processClock, signpadframWidth and signpadframHeight.
  std::span<const std::string_view> persisted() const override;
  void set_modified(bool modified) override { modified_ = modified; }

  // The window's picture at the given size, as a PNG file.
  bool snapshot(const std::string& png_path, int width, int height) override;
  // Paints the window into the canvas: white, the status text of result 1
  // or 2 in (0, 0)-(200, 500), the listed pen points as dots at (2x, 2y),
  // and the PIN picture after a PIN answer until the next repaint.
  void paint(Canvas& canvas) const;
  // A persisted property was set since the host last saved them.
  bool modified() const noexcept override { return modified_; }

 protected:
  void run(const automation::Member& member, std::span<automation::Value> args,
           automation::Value& result) override;

 private:
  struct Job;  // the comm port object of one pad job

  void run_property(const automation::Member& member, std::span<automation::Value> args,
                    automation::Value& result);
  std::int32_t open_job(Mode mode, std::string_view log_path, std::int32_t port, std::string_view amount);
  std::int32_t accept_sign();
  std::int32_t clear();
  std::int32_t no_sign();

  bool connected() const;
  bool send(std::span<const std::uint8_t> frame);
  bool send_init();
  void on_init_timer();
  void end_job();
  void post_link(std::uintptr_t generation, std::uint32_t message, std::uintptr_t port);
  void on_comm_read(std::uintptr_t generation);
  void on_comm_close(std::uintptr_t generation);
  void react(const Reaction& r, std::span<const std::uint8_t> frame);
  void send_request(const Recipe& recipe, std::string_view flag);
  void on_signature(std::span<const std::uint8_t> frame);
  void copy_to_signdata(const BitmapFile& file);
  void report(Error e);
  void clear_points();

  void trace(std::string_view text) const;
  void log_frame(std::span<const std::uint8_t> frame) const;

  std::shared_ptr<Job> job_;
  std::uintptr_t generation_ = 0;  // counts pad jobs; a job's link messages carry it
  Session session_;
  Recognizer recognizer_;

  std::string log_path_;
  std::string amount_;
  std::string pin_length_ = "04";
  std::string image_name_;
  std::string signature_;
  std::string pin_;
  std::string status_;
  std::int32_t result_ = kResultNone;
  std::int16_t confirm_ = 0;

  bool process_clock_ = false;
  std::int16_t frame_width_ = 256;
  std::int16_t frame_height_ = 128;
  bool modified_ = false;

  PointList points_;
  bool pin_picture_ = false;

  automation::HostLink host_;
  int width_ = 256, height_ = 128;  // the window's size
};

std::unique_ptr<automation::Object> make_object();

// The class as the registry knows it; registered under both ProgIDs when the
// program or library that links the control starts.
extern const automation::ClassEntry kClassEntry;

}  // namespace pink::signpad::styl
