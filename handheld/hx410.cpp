// The program shell of hx410: the form, the serial control and the event
// loop wired to the receive logic of receiver.h.
//
// The program idles with its polling timer running and the port open. A
// transfer runs inside the timer's callback with the timer stopped, so
// transfers never overlap; every pass of the receive loop and every pause
// lets pending messages run, so the form stays responsive and a stop request
// (the end button or key, closing the window, SIGTERM/SIGINT) ends the
// transfer and the program at once. Between passes the loop waits a few
// milliseconds for input instead of spinning.
#include "handheld/hx410.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <optional>
#include <string_view>

#include "handheld/controls.h"
#include "handheld/receiver.h"
#include "handheld/settings.h"
#include "platform/appfile.h"
#include "platform/clock.h"
#include "platform/comm.h"
#include "platform/console.h"
#include "platform/eventloop.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/form.h"
#include "platform/msgbox.h"
#include "platform/serial.h"
#include "platform/text.h"

namespace pink::handheld {
namespace {

constexpr std::string_view kCaption = "HX410";
// The line is fixed: the terminal talks at 19200 baud, no parity, 8 data bits, 1 stop bit.
constexpr std::string_view kLineSettings = "19200,n,8,1";
// The settings file holds a few short lines; nothing larger is read.
constexpr std::uint64_t kMaxSettingsFileBytes = 1024u * 1024u;
constexpr std::uint32_t kPollMs = 100;      // the polling timer
constexpr std::uint32_t kInputWaitMs = 5;   // longest wait for input between passes
constexpr double kPauseSliceMs = 5;         // longest sleep between passes of a pause

const text::Literal kTitle{"핸디 터미널 수신 건수 :"};
const text::Literal kFileLabel{"저장 파일명: "};
const text::Literal kEndCaption{"종   료"};
const text::Literal kEndLine{"==   수신 끝   ===="};

Err read_failure(files::ReadStatus s) {
  switch (s) {
    case files::ReadStatus::NotFound: return Err::FileNotFound;
    case files::ReadStatus::PathNotFound: return Err::PathNotFound;
    case files::ReadStatus::AccessDenied: return Err::PermissionDenied;
    case files::ReadStatus::Ok:
    case files::ReadStatus::NotAFile:
    case files::ReadStatus::TooLarge:
    case files::ReadStatus::Failed: break;
  }
  return Err::PathFileAccessError;
}

Err append_failure(files::AppendStatus s) {
  switch (s) {
    case files::AppendStatus::PathNotFound: return Err::PathNotFound;
    case files::AppendStatus::AccessDenied: return Err::PermissionDenied;
    case files::AppendStatus::Ok:
    case files::AppendStatus::NoSpace:
    case files::AppendStatus::Failed: break;
  }
  return Err::PathFileAccessError;
}

// A failure with what and where added in front of its own detail.
Failure located(const Failure& f, const std::string& where) {
  return Failure(f.code(), f.description(), f.detail().empty() ? where : where + ": " + f.detail());
}

class Handy {
 public:
  Handy(events::Loop& loop, form::Form& form) : loop_(loop), form_(form) {}

  // Form_Load: labels, the settings file (created first when missing), the
  // file name shown, the port opened. Throws Failure saying what and where.
  void load(const std::string& settings_path) {
    form_.set_caption(kCaption);
    form_.set_title(kTitle.str());
    form_.set_count("0");
    form_.set_end_caption(kEndCaption.str());
    const Settings s = read_settings(settings_path);
    output_file_ = s.output_file;
    form_.set_file_name(kFileLabel.str() + output_file_);
    open_port(s.port);
  }

  // Starts the polling timer.
  void start() {
    timer_ = loop_.add_timer(kPollMs, [this] { on_timer(); });
  }

  // cmdEnd / Form_Unload: the port is closed when it is open.
  void unload() noexcept {
    try {
      if (comm_.port_open()) comm_.set_port_open(false);
    } catch (...) {
      // Closing cannot fail in a way the user could act on.
    }
  }

  const std::optional<Failure>& failure() const noexcept { return failure_; }

 private:
  static Settings read_settings(const std::string& path) {
    if (!files::exists(path) && !files::write_all(path, kDefaultSettings)) {
      throw Failure(Err::PathFileAccessError, describe(Err::PathFileAccessError),
                    "cannot create the settings file " + path);
    }
    const files::ReadResult r = files::read_all(path, kMaxSettingsFileBytes);
    if (r.status != files::ReadStatus::Ok) {
      const Err e = read_failure(r.status);
      throw Failure(e, describe(e), "cannot read the settings file " + path);
    }
    try {
      return parse_settings(r.bytes);
    } catch (const Failure& f) {
      throw located(f, "settings file " + path);
    }
  }

  void open_port(int port) {
    const std::string name = "COM" + std::to_string(port);
    try {
      comm_.set_comm_port(port);
      comm_.set_settings(kLineSettings);
      comm_.set_port_open(true);
    } catch (const Failure& f) {
      const std::string device = serial::device_path(name);
      throw located(f, "port " + name + (device.empty() ? "" : " (" + text::utf8_to_cp949(device) + ")"));
    }
    // Lets the receive loop wait for input instead of spinning.
    comm_.port()->set_event_mask(serial::kEventRxChar);
  }

  bool stopped() const { return loop_.stop_requested(); }

  // TimerSend_Timer. A failure ends the program through its failure path.
  void on_timer() {
    try {
      if (stopped()) return;
      if (!starts_transfer(comm_.input())) return;
      transfer();
    } catch (const Failure& f) {
      failure_ = f;
      loop_.quit(kExitTransferFailed);
    } catch (const std::exception& e) {
      failure_ = Failure(Err::InternalError, describe(Err::InternalError), e.what());
      loop_.quit(kExitTransferFailed);
    }
  }

  // One transfer, from the ENQ read to listening again.
  void transfer() {
    if (!files::write_all(output_file_, "")) {
      throw Failure(Err::PathFileAccessError, describe(Err::PathFileAccessError),
                    "cannot empty the output file " + output_file_);
    }
    loop_.enable_timer(timer_, false);
    loop_.pump();
    comm_.set_input_len(0);
    if (!pause(kEnqAckDelaySeconds)) return;
    // What waits is dropped before the ENQ is answered, never after: the
    // terminal sends its first record as soon as it has the ACK, and that
    // record must not be thrown away with the leftovers.
    begin_receive();
    comm_.output(std::string_view(&kAck, 1));
    if (!receive()) return;
    if (!pause(kAfterTransferSeconds)) return;
    comm_.input();  // whatever came after the end marker is dropped
    loop_.enable_timer(timer_, true);
    loop_.pump();
  }

  // The start of the receive loop: empty buffer and list, input dropped.
  void begin_receive() {
    receiver_.reset();
    comm_.set_in_buffer_count(0);
    form_.list_clear();
    count_ = 0;
    form_.set_count("0");
  }

  // The receive loop; false when a stop request ended it.
  bool receive() {
    while (!receiver_.done()) {
      loop_.pump();
      if (stopped()) return false;
      const bool waiting = comm_.in_buffer_count() > 0;
      if (!waiting && receiver_.empty()) {
        wait_for_input();
        continue;
      }
      if (waiting) receiver_.feed(comm_.input());
      const std::vector<Action> actions = receiver_.step();
      if (actions.empty()) wait_for_input();  // a record without its ETX yet
      for (const Action& a : actions) {
        if (!perform(a)) return false;
      }
    }
    return true;
  }

  bool perform(const Action& a) {
    switch (a.kind) {
      case Action::Kind::SendAck:
        if (!pause(kAckDelaySeconds)) return false;
        comm_.output(std::string_view(&kAck, 1));
        return true;
      case Action::Kind::Record:
        store(a.record);
        return true;
      case Action::Kind::Done:
        form_.list_add(kEndLine.str());
        form_.list_set_visible(true);
        return true;
    }
    return true;
  }

  // The record step: listed, counted, selected, and appended to the output
  // file as one CR LF line (the file opened for appending and closed again).
  void store(const std::string& record) {
    form_.list_add(record);
    form_.set_count(std::to_string(++count_));
    form_.list_select_last();
    const files::AppendStatus s = files::append(output_file_, record + "\r\n");
    if (s != files::AppendStatus::Ok) {
      const Err e = append_failure(s);
      throw Failure(e, describe(e), "cannot write to the output file " + output_file_);
    }
  }

  // Waits a few milliseconds for input to arrive.
  void wait_for_input() {
    if (comm_.in_buffer_count() == 0) comm_.port()->wait_event(kInputWaitMs);
  }

  // DelaySub: pending messages run meanwhile. False when a stop request
  // ended the pause.
  bool pause(double seconds) {
    Pause p(seconds, clock::seconds_since_midnight());
    for (;;) {
      loop_.pump();
      if (stopped()) return false;
      const double now = clock::seconds_since_midnight();
      if (p.passed(now)) return true;
      const double ms = std::clamp(p.left(now) * 1000.0, 1.0, kPauseSliceMs);
      clock::sleep_ms(static_cast<std::uint32_t>(ms));
    }
  }

  events::Loop& loop_;
  form::Form& form_;
  comm::CommControl comm_;
  Receiver receiver_;
  std::string output_file_;
  int count_ = 0;
  events::Loop::TimerId timer_ = 0;
  std::optional<Failure> failure_;
};

// Shown after the form is gone, so that a terminal shows it on its main screen.
void report(const Failure& f) { msgbox::show(f.full_text(), kCaption); }

bool wants_help(const std::vector<std::string>& args) {
  return std::any_of(args.begin(), args.end(),
                     [](const std::string& a) { return a == "--help" || a == "-h" || a == "/?"; });
}

}  // namespace

std::string help_text() {
  static const text::Literal help{
      "usage: hx410 [--help | --version]\n"
      "\n"
      "Receives data records from a handheld terminal over a serial line and\n"
      "writes them, one record per line (CR LF), to the output file. The file is\n"
      "emptied when a transfer starts, so it holds the records of the last\n"
      "transfer. The line is 19200 baud, no parity, 8 data bits, 1 stop bit.\n"
      "Arguments other than --help and --version are ignored.\n"
      "\n"
      "Settings file: hx410.ini in the program's folder (Linux: or the file named\n"
      "by $PINK_HX410_INI), two lines:\n"
      "  1            the serial port number (COM1)\n"
      "  zorout.txt   the output file, relative to the current folder\n"
      "A missing settings file is created with these two lines.\n"
      "\n"
      "Linux variables:\n"
      "  PINK_HX410_INI  the settings file, instead of hx410.ini beside the program\n"
      "  PINK_COMn       the device behind port COMn (default /dev/ttyS(n-1))\n"
      "\n"
      "On a terminal the program shows a full-screen view (count, output file,\n"
      "received records); q or Esc ends it (the 종   료 button on Windows).\n"
      "SIGTERM and SIGINT (Ctrl+C) end it too. When standard output is not a\n"
      "terminal, each received record is printed as one line, and\n"
      "\"==   수신 끝   ====\" after each transfer.\n"
      "\n"
      "Exit status: 0 ended by the user or a stop signal; 1 the settings file or\n"
      "the port could not be used at start; 2 a transfer failed (the output file\n"
      "could not be written, or the serial line failed).\n"};
  return help.str();
}

int run_hx410(const std::vector<std::string>& args) {
  if (wants_help(args)) {
    console::out(help_text());
    return kExitEnded;
  }
  events::Loop loop;
  events::install_stop_handlers();
  std::optional<Failure> failure;
  int status = kExitEnded;
  {
    form::Form form(loop);
    Handy handy(loop, form);
    try {
      handy.load(appfile::beside_program(kSettingsFileName, kSettingsVariable));
    } catch (const Failure& f) {
      failure = f;
      status = kExitNotStarted;
    }
    if (!failure) {
      form.show();
      handy.start();
      // A stop request ends the run once the transfer under way has seen it;
      // the port is closed after that, never under a running transfer.
      status = loop.run();
      failure = handy.failure();
    }
    handy.unload();
  }
  if (failure) report(*failure);
  return status;
}

}  // namespace pink::handheld
