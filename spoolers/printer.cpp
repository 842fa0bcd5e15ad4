// printer: prints one receipt job from "printer.zor" and ends.
//
// The job goes through the receipt printer library (model "C"), the serial
// control (port field "1".."16") or the parallel port (port field "P"). The
// POS sees success as the end of the process with "prttw_error" empty; a
// failure writes "prttw_state" = "end", "prttw_error" = "syserror" and the
// failure's description into "prttw_text".
#include "spoolers/printer.h"

#include <optional>

#include "mailbox/failpath.h"
#include "mailbox/jobfile.h"
#include "mailbox/log.h"
#include "mailbox/models.h"
#include "mailbox/mailbox.h"
#include "mailbox/output.h"
#include "mailbox/portbusy.h"
#include "platform/comm.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/text.h"
#include "spoolers/receipt.h"
#include "textedit/textedit.h"

namespace pink::spoolers {
namespace {

using mailbox::kFloyd;

constexpr std::string_view kProgram = "printer";
constexpr std::string_view kJobFile = "printer.zor";

// The mailbox keys of the receipt spooler ("floyd" section) and their values.
namespace keys {
constexpr std::string_view kState = "prttw_state";
constexpr std::string_view kError = "prttw_error";
constexpr std::string_view kText = "prttw_text";
constexpr std::string_view kStart = "start";
constexpr std::string_view kEnd = "end";
constexpr std::string_view kSysError = "syserror";
}  // namespace keys
constexpr std::string_view kLogoFile = "pv_logo.bmp";
// Only the last rows of the logo file are printed (a 1-bit picture 448 dots
// wide); a file far beyond that is no logo and is not read.
constexpr std::uint64_t kMaxLogoFileBytes = 1024u * 1024u;

void print_serial(mailbox::JobFile& job, const mailbox::JobHeader& h, mailbox::Mailbox& mb) {
  const std::string settings =
      mailbox::serial_settings(mb, h.port, mailbox::model_profile(h.model).forces_38400);
  comm::CommControl port;
  mailbox::open_spooler_port(port, h.port, settings);
  mailbox::CommSink out(port);
  print_body(job, h, Port::Serial, out, textedit::edit);
  port.set_port_open(false);
}

void print_parallel(mailbox::JobFile& job, const mailbox::JobHeader& h) {
  if (mailbox::model_profile(h.model).logo_file && h.option != "N") {
    mailbox::DeviceSink raw("LPT1:");
    const auto logo = files::read_all(files::native_path(kLogoFile), kMaxLogoFileBytes);
    if (logo.status != files::ReadStatus::Ok) throw Failure(Err::FileNotFound);
    print_logo_file(logo.bytes, raw);
  }
  mailbox::DeviceSink out("Lpt1:");
  print_body(job, h, Port::Parallel, out, textedit::edit);
  out.close();
}

}  // namespace

int run_printer() {
  mailbox::StoreMailbox mb;
  try {
    mb.put(kFloyd, keys::kState, keys::kStart);
    mb.put(kFloyd, keys::kError, "");
    mb.put(kFloyd, keys::kText, "");
  } catch (const Failure& f) {
    // Without a mailbox there is nobody to report to but the console.
    mailbox::report_on_console(kProgram, f);
    return 2;
  }

  std::string port_field;
  try {
    auto job = mailbox::JobFile::open(files::native_path(kJobFile));
    const mailbox::JobHeader h = mailbox::parse_header(job.next_line());
    port_field = h.port;
    mailbox::FileLog log;
    mailbox::take_port(mb, log, port_field);

    if (is_library_path(h)) {
      auto lib = load_rcptlib();
      print_library_path(job, h, mb, *lib, signature_files());
    } else if (h.port == "P") {
      print_parallel(job, h);
    } else {
      print_serial(job, h, mb);
    }

    mailbox::release_port(mb, port_field);
    job.close();
    return 0;
  } catch (const std::exception& e) {
    const Failure failure = mailbox::as_failure(e);
    mailbox::report_failure(kProgram, failure, [&] {
      // A job whose header was never read holds no port flag.
      if (!port_field.empty()) mailbox::release_port(mb, port_field);
      mb.put(kFloyd, keys::kState, keys::kEnd);
      mb.put(kFloyd, keys::kError, keys::kSysError);
      mb.put(kFloyd, keys::kText, failure.description());
    });
    return 1;
  }
}

}  // namespace pink::spoolers
