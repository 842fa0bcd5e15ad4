// kitchen / kitchenb: print one kitchen order ticket and end, reporting each
// step in "kit_process" so that the POS sees where a failed job stopped.
#include "kitchen/kitchen.h"

#include <string>

#include "kitchen/body.h"
#include "kitchen/keys.h"
#include "mailbox/failpath.h"
#include "mailbox/jobfile.h"
#include "mailbox/log.h"
#include "mailbox/mailbox.h"
#include "mailbox/models.h"
#include "mailbox/output.h"
#include "mailbox/portbusy.h"
#include "platform/eventloop.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/text.h"
#include "textedit/textedit.h"

namespace pink::kitchen {
namespace {

using mailbox::kFloyd;

struct Job {
  mailbox::Mailbox& mb;
  void marker(std::string_view m) { mb.put(kFloyd, keys::kProcess, m); }
};

void print_serial(Job& job, mailbox::JobFile& file, const mailbox::JobHeader& h,
                  const Variant& variant) {
  job.marker("SP1");
  std::string settings = mailbox::serial_settings(job.mb, h.port);
  job.marker("SP2");
  if (variant.honours_forced_speed && mailbox::model_profile(h.model).forces_38400) {
    settings = mailbox::kForcedSettings;
  }
  comm::CommControl port;
  mailbox::open_spooler_port(port, h.port, settings);
  job.marker("SP3");
  mailbox::CommSink out(port);
  std::size_t sent = send_body(file, h.model, Dialect::Kitchen, out, textedit::edit);
  job.marker("SP4");
  const auto signal = end_signal(h.signal, h.model, Dialect::Kitchen);
  if (!signal.empty()) {
    out.send(signal);
    sent += signal.size();
  }
  events::Loop* loop = events::Loop::current();
  drain(port, sent, [loop] {
    if (loop) loop->pump();
  });
  job.marker("SP5");
  port.set_port_open(false);
  job.marker("SP6");
}

void print_parallel(Job& job, mailbox::JobFile& file, const mailbox::JobHeader& h) {
  job.marker("LP1");
  mailbox::DeviceSink out("Lpt1:");
  job.marker("LP2");
  send_body(file, h.model, Dialect::Kitchen, out, textedit::edit);
  job.marker("LP3");
  const auto signal = end_signal(h.signal, h.model, Dialect::Kitchen);
  if (!signal.empty()) out.send(signal);
  job.marker("LP4");
  out.close();
}

}  // namespace

int run_kitchen(const Variant& variant) {
  mailbox::StoreMailbox mb;
  Job job{mb};
  try {
    mb.put(kFloyd, keys::kState, keys::kStart);
    for (const auto key : {keys::kError, keys::kText, keys::kProcess, keys::kErrorNo}) {
      mb.put(kFloyd, key, "");
    }
  } catch (const Failure& f) {
    mailbox::report_on_console(variant.program, f);
    return 2;
  }

  std::string port_field;
  try {
    auto file = mailbox::JobFile::open(files::native_path(variant.job_file));
    const mailbox::JobHeader h = [&] {
      auto header = mailbox::parse_header(file.next_line());
      header.port = text::rtrim(header.port);
      return header;
    }();
    port_field = h.port;
    mailbox::FileLog log;
    mailbox::take_port(mb, log, port_field);
    if (h.port == "P") {
      print_parallel(job, file, h);
    } else {
      print_serial(job, file, h, variant);
    }
    mailbox::release_port(mb, port_field);
    job.marker("CM1");
    file.close();
    job.marker("CM2");
    mb.put(kFloyd, keys::kState, keys::kEnd);
    return 0;
  } catch (const std::exception& e) {
    const Failure failure = mailbox::as_failure(e);
    mailbox::report_failure(variant.program, failure, [&] {
      // A job whose header was never read holds no port flag.
      if (!port_field.empty()) mailbox::release_port(mb, port_field);
      mb.put(kFloyd, keys::kState, keys::kEnd);
      mb.put(kFloyd, keys::kError, keys::kSysError);
      mb.put(kFloyd, keys::kText, failure.description());
      mb.put(kFloyd, keys::kErrorNo, std::to_string(failure.number()));
    });
    return 1;
  }
}

}  // namespace pink::kitchen
