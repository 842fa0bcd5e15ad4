// kitfeed: the resident serial-only kitchen printer for fifteen ports at
// 9600,n,8,1. A bad port field is an ordinary job result; any other failure
// ends the process. "kit_error" and "kit_text" are not cleared between jobs.
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

constexpr int kPorts = 15;
constexpr std::uint32_t kPollMs = 200;
const text::Literal kBadPort{"포트지정오류 "};
const text::Literal kCaption{"포트OPEN:"};

class Kitfeed {
 public:
  explicit Kitfeed(events::Loop& loop) : loop_(loop) {}

  void start() {
    for (int n = 1; n <= kPorts; ++n) {
      auto& c = controls_[static_cast<std::size_t>(n - 1)];
      c = std::make_unique<comm::CommControl>();
      c->set_comm_port(n);
      c->set_settings(mailbox::kDefaultSettings);
      c->set_in_buffer_size(1024);
      c->set_out_buffer_size(512);
    }
    mb_.put(kFloyd, "kit_process", "OP");
    mb_.put(kFloyd, "kit_state", "start");
    mb_.put(kFloyd, "kit_abc", "N");
    mb_.put(kFloyd, "kit_error", "");
    mb_.put(kFloyd, "kit_text", "");
    events::show_status(kCaption.str(), label_);
    timer_ = loop_.add_timer(kPollMs, [this] { poll(); });
  }

  void close_ports() {
    try {
      for (auto& c : controls_) {
        if (c && c->port_open()) c->set_port_open(false);
      }
    } catch (const Failure& f) {
      fail("CL1", f);
    }
  }

  void fail(const char* marker, const Failure& f) {
    try {
      mb_.put(kFloyd, "kit_process", marker);
      mb_.put(kFloyd, "kit_abc", "N");
      mb_.put(kFloyd, "kit_state", "end");
      mb_.put(kFloyd, "kit_error", "syserror");
      mb_.put(kFloyd, "kit_text", f.description());
    } catch (const Failure& again) {
      std::fprintf(stderr, "kitfeed: %s\n", text::cp949_to_utf8(again.full_text()).c_str());
    }
    std::fprintf(stderr, "kitfeed: %s\n", text::cp949_to_utf8(f.full_text()).c_str());
  }

 private:
  void poll() {
    try {
      if (mb_.get(kFloyd, "kit_abc") != "Y") return;
      run_job();
    } catch (const std::exception& e) {
      const auto* f = dynamic_cast<const Failure*>(&e);
      fail("EN1", f ? *f : Failure(Err::InternalError, describe(Err::InternalError), e.what()));
      loop_.quit(1);
    }
  }

  void marker(const char* m) { mb_.put(kFloyd, "kit_process", m); }

  comm::CommControl* control_for(const std::string& port) {
    for (int n = 1; n <= kPorts; ++n) {
      if (port == std::to_string(n)) return controls_[static_cast<std::size_t>(n - 1)].get();
    }
    return nullptr;
  }

  void run_job() {
    loop_.enable_timer(timer_, false);
    mb_.put(kFloyd, "kit_abc", "N");
    marker("TM1");
    auto file = mailbox::JobFile::open(files::native_path("kitchen.zor"));
    const auto h = mailbox::parse_header(file.next_line());
    marker("TM2");
    const std::string& port = h.port;  // as read, untrimmed
    marker("TM3");
    if (port != "P") {
      comm::CommControl* c = control_for(port);
      if (c == nullptr) {
        mb_.put(kFloyd, "kit_error", "syserror");
        mb_.put(kFloyd, "kit_text", kBadPort.str() + port);
      } else {
        if (!c->port_open()) {
          label_ += "-" + port;
          events::show_status(kCaption.str(), label_);
          c->set_port_open(true);
        }
        print(*c, file, h);
      }
    }
    file.close();
    marker("TM8");
    // The request flag goes back before "end": a POS that sends its next job
    // the moment it reads "end" must not have its "Y" overwritten.
    mb_.put(kFloyd, "kit_abc", "N");
    mb_.put(kFloyd, "kit_state", "end");
    loop_.enable_timer(timer_, true);
  }

  void print(comm::CommControl& c, mailbox::JobFile& file, const mailbox::JobHeader& h) {
    marker("TM4");
    c.set_out_buffer_count(0);
    mailbox::CommSink out(c);
    std::size_t sent = send_body(file, h.model, Dialect::Kitfeed, out, textedit::edit);
    marker("TM5");
    const auto signal = end_signal(h.signal, h.model, Dialect::Kitfeed);
    if (!signal.empty()) {
      out.send(signal);
      sent += signal.size();
    }
    marker("TM6");
    drain(c, sent, nullptr);  // no messages run while draining
    marker("TM7");
  }

  events::Loop& loop_;
  mailbox::StoreMailbox mb_;
  std::array<std::unique_ptr<comm::CommControl>, kPorts> controls_;
  std::string label_ = "P";
  events::Loop::TimerId timer_ = 0;
};

}  // namespace

int run_kitfeed() {
  events::Loop loop;
  events::install_stop_handlers();
  // "kitfeed --stop" reaches it where no close message can.
  if (std::string why; !loop.listen_for_stop("kitfeed", &why)) {
    std::fprintf(stderr, "kitfeed: stop requests cannot be taken: %s\n", why.c_str());
  }
  Kitfeed feed(loop);
  try {
    feed.start();
  } catch (const Failure& f) {
    feed.fail("EN1", f);
    return 1;
  }
  loop.on_stop([&feed] { feed.close_ports(); });
  const int status = loop.run();
  feed.close_ports();
  return status;
}

}  // namespace pink::kitchen
