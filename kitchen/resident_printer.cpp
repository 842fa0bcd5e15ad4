#include "kitchen/resident_printer.h"

#include <cstdio>
#include <optional>

#include "kitchen/body.h"
#include "kitchen/keys.h"
#include "mailbox/failpath.h"
#include "mailbox/output.h"
#include "platform/console.h"
#include "platform/files.h"
#include "textedit/textedit.h"

namespace pink::kitchen {
namespace {

using mailbox::kFloyd;

constexpr std::uint32_t kPollMs = 200;
constexpr int kInBufferSize = 1024;
constexpr int kOutBufferSize = 512;
constexpr std::string_view kJobFile = "kitchen.zor";
constexpr std::string_view kParallelPort = "P";

}  // namespace

ResidentPrinter::ResidentPrinter(const ResidentProfile& profile, events::Loop& loop,
                                 mailbox::Mailbox& mb)
    : profile_(profile),
      loop_(loop),
      mb_(mb),
      caption_(profile.caption),
      bad_port_(profile.bad_port_text),
      label_(profile.first_label) {}

void ResidentPrinter::put(std::string_view key, std::string_view value) { mb_.put(kFloyd, key, value); }

void ResidentPrinter::start() {
  for (const KeyValue& kv : profile_.start_keys) put(kv.key, kv.value);
  controls_.clear();
  for (int n = 1; n <= profile_.ports; ++n) {
    auto c = std::make_unique<comm::CommControl>();
    c->set_comm_port(n);
    c->set_in_buffer_size(kInBufferSize);
    c->set_out_buffer_size(kOutBufferSize);
    c->set_settings(profile_.speeds_from_mailbox ? mailbox::serial_settings(mb_, std::to_string(n))
                                                 : std::string(mailbox::kDefaultSettings));
    controls_.push_back(std::move(c));
  }
  events::show_status(caption_.str(), label_);
  timer_ = loop_.add_timer(kPollMs, [this] { poll(); });
}

void ResidentPrinter::poll() {
  std::string port;
  bool in_job = false;
  try {
    if (mb_.get(kFloyd, keys::kRequest) != keys::kYes) return;
    loop_.enable_timer(timer_, false);
    put(keys::kRequest, keys::kNo);
    in_job = true;
    run_job(port);
    loop_.enable_timer(timer_, true);
  } catch (const std::exception& e) {
    fail_in(in_job ? Where::Job : Where::Timer, port, mailbox::as_failure(e));
    loop_.quit(1);
  }
}

void ResidentPrinter::fail_at_start(const Failure& failure) { fail_in(Where::Load, "", failure); }

void ResidentPrinter::fail_in(Where where, const std::string& port, const Failure& failure) {
  std::string marker(profile_.failure_marker);
  std::string text = failure.description();
  if (profile_.failure_names_where) {
    marker += "-";
    marker += where == Where::Job ? port : where == Where::Timer ? "Timer" : "Load";
    if (where == Where::Job) text = port + "-" + text;
  }
  fail(std::move(marker), std::move(text), failure);
}

// The request flag goes back to "N" before "end": a POS that sends its next
// job the moment it reads "end" keeps its "Y".
void ResidentPrinter::fail(std::string marker, std::string text, const Failure& failure) {
  mailbox::report_failure(profile_.program, failure, [&] {
    put(keys::kProcess, marker);
    put(keys::kRequest, keys::kNo);
    put(keys::kState, keys::kEnd);
    put(keys::kError, keys::kSysError);
    put(keys::kText, text);
  });
}

void ResidentPrinter::close_ports(bool unload) {
  try {
    if (unload && !profile_.unload_marker.empty()) put(keys::kProcess, profile_.unload_marker);
    for (auto& c : controls_) {
      if (c && c->port_open()) c->set_port_open(false);
    }
  } catch (const std::exception& e) {
    const Failure failure = mailbox::as_failure(e);
    if (profile_.close_failure_marker.empty()) {
      mailbox::report_on_console(profile_.program, failure);
    } else {
      fail(std::string(profile_.close_failure_marker), failure.description(), failure);
    }
  }
}

void ResidentPrinter::marker(std::string_view m, const std::string& port) {
  if (m.empty()) return;
  put(keys::kProcess, profile_.markers.port_suffix ? std::string(m) + "-" + port : std::string(m));
}

comm::CommControl* ResidentPrinter::control_for(const std::string& port) {
  for (int n = 1; n <= profile_.ports; ++n) {
    if (port == std::to_string(n)) return controls_[static_cast<std::size_t>(n - 1)].get();
  }
  return nullptr;
}

void ResidentPrinter::run_job(std::string& port) {
  const ResidentMarkers& m = profile_.markers;
  for (const KeyValue& kv : profile_.job_keys) put(kv.key, kv.value);
  auto file = mailbox::JobFile::open(files::native_path(kJobFile));
  auto h = mailbox::parse_header(file.next_line(), profile_.layout);
  if (profile_.trim_port) h.port = text::rtrim(h.port);
  port = h.port;
  marker(m.header_read, port);
  marker(m.port_chosen, port);
  const auto signal = end_signal(h.signal, h.model, profile_.dialect);
  if (port != kParallelPort) {
    print_serial(file, h, signal);
  } else if (profile_.parallel_port) {
    print_parallel(file, h, signal);
  } else {
    console::err(std::string(profile_.program) + ": the job is for the parallel port \"P\", which " +
                 std::string(profile_.program) + " does not drive: nothing printed\n");
  }
  file.close();
  marker(m.done, port);
  if (profile_.request_cleared_at_end) put(keys::kRequest, keys::kNo);
  put(keys::kState, keys::kEnd);
}

void ResidentPrinter::print_serial(mailbox::JobFile& file, const mailbox::JobHeader& h,
                                   std::string_view signal) {
  const ResidentMarkers& m = profile_.markers;
  marker(m.serial_lookup, h.port);
  comm::CommControl* c = control_for(h.port);
  marker(m.serial_found, h.port);
  if (c == nullptr) {
    const std::string why = mailbox::bad_port_field(h.port, profile_.ports);
    if (!profile_.bad_port_is_result) throw Failure(Err::ObjectNotSet, describe(Err::ObjectNotSet), why);
    put(keys::kError, keys::kSysError);
    put(keys::kText, bad_port_.str() + h.port);
    console::err(std::string(profile_.program) + ": " + why + ": nothing printed\n");
    return;
  }
  if (!c->port_open()) {
    label_ += std::string(profile_.label_separator) + h.port;
    events::show_status(caption_.str(), label_);
    c->set_port_open(true);
  }
  marker(m.print_begin, h.port);
  c->set_out_buffer_count(0);
  marker(m.ready, h.port);
  mailbox::CommSink out(*c);
  std::size_t sent = send_body(file, h.model, profile_.dialect, out, textedit::edit);
  marker(m.after_body, h.port);
  if (!signal.empty()) {
    out.send(signal);
    sent += signal.size();
  }
  marker(m.after_signal, h.port);
  if (profile_.pump_while_draining) {
    drain(*c, sent, [this] { loop_.pump(); });
  } else {
    drain(*c, sent, nullptr);
  }
  marker(m.drained, h.port);
}

void ResidentPrinter::print_parallel(mailbox::JobFile& file, const mailbox::JobHeader& h,
                                     std::string_view signal) {
  const ResidentMarkers& m = profile_.markers;
  marker(m.parallel_open, h.port);
  mailbox::DeviceSink out("Lpt1:");
  marker(m.parallel_opened, h.port);
  send_body(file, h.model, profile_.dialect, out, textedit::edit);
  marker(m.parallel_body, h.port);
  if (!signal.empty()) out.send(signal);
  marker(m.parallel_signal, h.port);
  out.close();
}

int run_resident(const ResidentProfile& profile) {
  std::optional<events::SingleInstance> instance;
  if (profile.single_instance) {
    instance.emplace(profile.program);
    if (!instance->acquired()) return 0;  // another one is running: leave the mailbox alone
  }
  events::Loop loop;
  events::install_stop_handlers();
  // "<program> --stop" reaches it where no close message can.
  if (const auto listening = loop.listen_for_stop(profile.program); !listening) {
    const std::string line = std::string(profile.program) + ": stop requests cannot be taken: " + listening.why();
    std::fprintf(stderr, "%s\n", line.c_str());
  }
  mailbox::StoreMailbox mb;
  ResidentPrinter printer(profile, loop, mb);
  try {
    printer.start();
  } catch (const std::exception& e) {
    printer.fail_at_start(mailbox::as_failure(e));
    return 1;
  }
  loop.on_stop([&printer] { printer.close_ports(true); });
  const int status = loop.run();
  printer.close_ports(false);  // after a failure: the ports are let go all the same
  return status;
}

}  // namespace pink::kitchen
