// kitmux: the resident kitchen printer for sixteen serial ports and the
// parallel port. Polls "kit_abc" every 200 ms; ports are opened on first use
// and kept open between jobs. Any failure ends the process (the POS starts it
// again); a normal stop closes the open ports.
#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "kitchen/body.h"
#include "kitchen/kitchen.h"
#include "mailbox/jobfile.h"
#include "mailbox/mailbox.h"
#include "mailbox/output.h"
#include "platform/comm.h"
#include "platform/eventloop.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/text.h"
#include "textedit/textedit.h"

namespace pink::kitchen {
namespace {

using mailbox::kFloyd;

constexpr int kPorts = 16;
constexpr std::uint32_t kPollMs = 200;

class Kitmux {
 public:
  explicit Kitmux(events::Loop& loop) : loop_(loop) {}

  void start() {
    mb_.put(kFloyd, "kit_state", "Load");
    mb_.put(kFloyd, "kit_error", "");
    mb_.put(kFloyd, "kit_text", "");
    mb_.put(kFloyd, "kit_process", "Load");
    for (int n = 1; n <= kPorts; ++n) {
      auto& c = controls_[static_cast<std::size_t>(n - 1)];
      c = std::make_unique<comm::CommControl>();
      c->set_comm_port(n);
      c->set_in_buffer_size(1024);
      c->set_out_buffer_size(512);
      c->set_settings(mailbox::serial_settings(mb_, std::to_string(n)));
    }
    events::show_status("Port Open", open_ports_);
    timer_ = loop_.add_timer(kPollMs, [this] { poll(); });
  }

  // Closing: "Unload", then every open port closed.
  void unload() {
    try {
      mb_.put(kFloyd, "kit_process", "Unload");
      for (auto& c : controls_) {
        if (c && c->port_open()) c->set_port_open(false);
      }
    } catch (const std::exception& e) {
      std::fprintf(stderr, "kitmux: %s\n", e.what());
    }
  }

  void fail(const std::string& marker, const std::string& text, const Failure& f) {
    try {
      mb_.put(kFloyd, "kit_process", marker);
      mb_.put(kFloyd, "kit_abc", "N");
      mb_.put(kFloyd, "kit_state", "end");
      mb_.put(kFloyd, "kit_error", "syserror");
      mb_.put(kFloyd, "kit_text", text);
    } catch (const Failure& again) {
      std::fprintf(stderr, "kitmux: %s\n", text::cp949_to_utf8(again.full_text()).c_str());
    }
    std::fprintf(stderr, "kitmux: %s\n", text::cp949_to_utf8(f.full_text()).c_str());
  }

 private:
  void poll() {
    std::string port_field;
    bool in_job = false;
    try {
      if (mb_.get(kFloyd, "kit_abc") != "Y") return;
      mb_.put(kFloyd, "kit_abc", "N");
      in_job = true;
      run_job(port_field);
    } catch (const std::exception& e) {
      const auto* f = dynamic_cast<const Failure*>(&e);
      const Failure failure =
          f ? *f : Failure(Err::InternalError, describe(Err::InternalError), e.what());
      if (in_job) {
        fail("Err_Rtn-" + port_field, port_field + "-" + failure.description(), failure);
      } else {
        fail("Err_Rtn-Timer", failure.description(), failure);
      }
      // The process ends after a failure; the POS starts it again.
      loop_.quit(1);
    }
  }

  void marker(const std::string& m, const std::string& port) {
    mb_.put(kFloyd, "kit_process", m + "-" + port);
  }

  comm::CommControl* control_for(const std::string& port) {
    for (int n = 1; n <= kPorts; ++n) {
      if (port == std::to_string(n)) return controls_[static_cast<std::size_t>(n - 1)].get();
    }
    return nullptr;
  }

  void run_job(std::string& port) {
    loop_.enable_timer(timer_, false);
    mb_.put(kFloyd, "kit_process", "ST");
    mb_.put(kFloyd, "kit_state", "start");
    mb_.put(kFloyd, "kit_error", "");
    mb_.put(kFloyd, "kit_text", "");
    auto file = mailbox::JobFile::open(files::native_path("kitchen.zor"));
    auto h = mailbox::parse_header(file.next_line(), mailbox::HeaderLayout::SixCharacter);
    h.port = text::rtrim(h.port);
    port = h.port;
    const auto signal = end_signal(h.signal, h.model, Dialect::Kitchen);

    if (port != "P") {
      marker("SP1", port);
      comm::CommControl* c = control_for(port);
      marker("SP2", port);
      if (c == nullptr) throw Failure(Err::ObjectNotSet);
      if (!c->port_open()) {
        open_ports_ += "," + port;
        events::show_status("Port Open", open_ports_);
        c->set_port_open(true);
      }
      c->set_out_buffer_count(0);
      marker("SP3", port);
      mailbox::CommSink out(*c);
      std::size_t sent = send_body(file, h.model, Dialect::Kitchen, out, textedit::edit);
      marker("SP4", port);
      if (!signal.empty()) {
        out.send(signal);
        sent += signal.size();
      }
      marker("SP5", port);
      drain(*c, sent, [this] { loop_.pump(); });
      marker("SP6", port);
    } else {
      marker("LP1", port);
      mailbox::DeviceSink out("Lpt1:");
      marker("LP2", port);
      send_body(file, h.model, Dialect::Kitchen, out, textedit::edit);
      marker("LP3", port);
      if (!signal.empty()) out.send(signal);
      marker("LP4", port);
      out.close();
    }
    file.close();
    marker("SP7", port);
    mb_.put(kFloyd, "kit_state", "end");
    loop_.enable_timer(timer_, true);
  }

  events::Loop& loop_;
  mailbox::StoreMailbox mb_;
  std::array<std::unique_ptr<comm::CommControl>, kPorts> controls_;
  std::string open_ports_;
  events::Loop::TimerId timer_ = 0;
};

}  // namespace

int run_kitmux() {
  events::SingleInstance instance("kitmux");
  if (!instance.acquired()) return 0;  // another one is running: leave the mailbox alone

  events::Loop loop;
  events::install_stop_handlers();
  // "kitmux --stop" reaches it where no close message can.
  if (std::string why; !loop.listen_for_stop("kitmux", &why)) {
    std::fprintf(stderr, "kitmux: stop requests cannot be taken: %s\n", why.c_str());
  }
  Kitmux mux(loop);
  try {
    mux.start();
  } catch (const Failure& f) {
    mux.fail("Err_Rtn-Load", f.description(), f);
    return 1;
  }
  loop.on_stop([&mux] { mux.unload(); });
  return loop.run();
}

}  // namespace pink::kitchen
