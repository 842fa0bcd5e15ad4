// enter: the reduced receipt spooler. Prints "enter.zor" on a serial port or
// the parallel port and ends; it reports nothing and ends silently on any
// failure.
#include "mailbox/jobfile.h"
#include "mailbox/mailbox.h"
#include "mailbox/models.h"
#include "mailbox/output.h"
#include "platform/comm.h"
#include "platform/files.h"
#include "spoolers/printer.h"
#include "spoolers/receipt.h"

namespace pink::spoolers {

int run_enter() {
  try {
    auto job = mailbox::JobFile::open(files::native_path("enter.zor"));
    const mailbox::JobHeader h = mailbox::parse_header(job.next_line());
    if (h.port != "P") {
      mailbox::StoreMailbox mb;
      const std::string settings =
          mailbox::serial_settings(mb, h.port, mailbox::model_profile(h.model).forces_38400);
      comm::CommControl port;
      mailbox::open_spooler_port(port, h.port, settings);
      mailbox::CommSink out(port);
      print_enter_body(job, h, Port::Serial, out);
      port.set_port_open(false);
    } else {
      mailbox::DeviceSink out("Lpt1:");
      print_enter_body(job, h, Port::Parallel, out);
    }
    return 0;
  } catch (...) {
    return 1;
  }
}

}  // namespace pink::spoolers
