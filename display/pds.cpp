#include "display/pds.h"

#include <algorithm>
#include <exception>

#include "mailbox/output.h"
#include "platform/console.h"
#include "platform/failure.h"

namespace pink::display::pds {
namespace {

Failure as_failure(const std::exception& e) {
  if (const auto* f = dynamic_cast<const Failure*>(&e)) return *f;
  return Failure(Err::InternalError, describe(Err::InternalError), e.what());
}

// Says what failed and why on standard error (cp949 in, the console's text out).
void tell(const std::string& what, const Failure& failure) {
  console::err("pds: " + what + ": " + failure.full_text() + "\n");
}

}  // namespace

Job read_job(mailbox::Mailbox& mb) {
  Job job;
  job.type = mb.get(mailbox::kFloyd, kKeyType);
  job.port = mb.get(mailbox::kFloyd, kKeyPort);
  job.texts.line1 = mb.get(mailbox::kFloyd, kKeyLine1);
  job.texts.line2 = mb.get(mailbox::kFloyd, kKeyLine2);
  job.texts.line3 = mb.get(mailbox::kFloyd, kKeyLine3);
  return job;
}

void show(comm::CommControl& control, const Dialect& dialect, const Job& job, std::string& doing) {
  doing = "setting the port number to \"" + job.port + "\"";
  control.set_comm_port(mailbox::port_number(job.port));
  const std::string port = "COM" + std::to_string(control.comm_port());
  doing = "setting up " + port;
  if (dialect.out_buffer_size > 0) control.set_out_buffer_size(dialect.out_buffer_size);
  if (!dialect.settings.empty()) control.set_settings(dialect.settings);
  doing = "opening " + port;
  control.set_port_open(true);
  doing = "writing to " + port;
  for (const Action& action : plan(dialect, job.texts)) {
    if (action.clear) {
      control.set_out_buffer_count(0);
    } else {
      control.output(action.bytes);
    }
  }
  doing = "closing " + port;
  control.set_port_open(false);
}

int run(mailbox::Mailbox& mb) {
  std::string doing = "reading the mailbox";
  try {
    const Job job = read_job(mb);
    const Dialect* dialect = find_dialect(job.type);
    if (dialect == nullptr) return kExitDone;  // not a display this program knows
    comm::CommControl control;
    show(control, *dialect, job, doing);
    return kExitDone;
  } catch (const std::exception& e) {
    const Failure failure = as_failure(e);
    tell(doing, failure);
    try {
      mb.put(mailbox::kFloyd, kKeyError, failure.description());
    } catch (const std::exception& again) {
      tell("writing pds_error", as_failure(again));
      return kExitNoMailbox;
    }
    return kExitFailed;
  }
}

std::string help_text() {
  std::string s =
      "usage: pds [--help | --version]\n"
      "\n"
      "Shows up to three lines of text on the customer display pole and ends.\n"
      "It takes no arguments: it reads the settings mailbox, section \"floyd\":\n"
      "  pds_hw     the display type code (below; case matters)\n"
      "  pds_port   the serial port number (3 for COM3)\n"
      "  pds_1      line 1, usually the label\n"
      "  pds_2      line 2 (types 1 and 7 only)\n"
      "  pds_3      line 3, usually the amount\n"
      "and writes only on failure:\n"
      "  pds_error  the run-time's description of the failure (never cleared)\n"
      "\n"
      "Display types (9600,n,8,1 unless said otherwise; padding never cuts a text):\n";
  for (const Dialect& d : dialects()) {
    s += "  ";
    s += d.code;
    s += "  ";
    s += d.summary;
    s += "\n";
  }
  s +=
      "Any other type, the empty one included, ends the program without touching the port.\n"
      "\n"
      "Exit status: 0 shown (or a type outside the table), 1 failed (see pds_error\n"
      "and standard error), 2 the mailbox cannot be used.\n"
      "On Linux COMn is $PINK_COMn or /dev/ttyS(n-1); the mailbox is $PINK_SETTINGS.\n";
  return s;
}

int main_with(const std::vector<std::string>& args) {
  if (std::find(args.begin(), args.end(), "--help") != args.end()) {
    console::out(help_text());
    return kExitDone;
  }
  mailbox::StoreMailbox mb;
  return run(mb);
}

}  // namespace pink::display::pds
