// The resident kitchen printers' shared core. kitmux and kitfeed are one
// program told apart by a profile: how many serial ports, where their line
// settings come from, what a job writes into the mailbox and when, what the
// parallel port and a bad port field mean, and how a failure is named.
//
// The core polls "kit_abc" every 200 ms. A "Y" is a job: the flag goes back
// to "N", "kitchen.zor" is printed on the port its header names (a serial
// port is opened at its first job and kept open), and "kit_state" = "end"
// closes the job. Any failure writes the failure keys and ends the process;
// the POS starts it again.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kitchen/signals.h"
#include "mailbox/jobfile.h"
#include "mailbox/mailbox.h"
#include "platform/comm.h"
#include "platform/eventloop.h"
#include "platform/failure.h"
#include "platform/text.h"

namespace pink::kitchen {

struct KeyValue {
  std::string_view key;
  std::string_view value;
};

// The progress markers ("kit_process") written at each step of a job; an
// empty one is not written. With port_suffix, "-" and the port field follow
// each marker written once the header is read.
struct ResidentMarkers {
  std::string_view header_read;
  std::string_view port_chosen;
  std::string_view serial_lookup;  // before the port field is looked up
  std::string_view serial_found;   // after it
  std::string_view print_begin;    // the port is open, its output not yet cleared
  std::string_view ready;          // its output cleared, the body next
  std::string_view after_body;
  std::string_view after_signal;
  std::string_view drained;
  std::string_view parallel_open;
  std::string_view parallel_opened;
  std::string_view parallel_body;
  std::string_view parallel_signal;
  std::string_view done;  // the job file closed; "end" follows
  bool port_suffix = false;
};

struct ResidentProfile {
  std::string_view program;  // its name: messages, the stop requests, the instance lock
  int ports = 0;             // serial ports 1 ... ports
  bool single_instance = false;       // a second start leaves at once, touching nothing
  bool speeds_from_mailbox = false;   // "prtspeed"/"comN", else 9600,n,8,1
  mailbox::HeaderLayout layout = mailbox::HeaderLayout::ByLength;
  bool trim_port = false;             // trailing blanks of the port field removed
  bool parallel_port = false;         // "P" prints on the parallel port; else nothing is printed
  bool bad_port_is_result = false;    // a port field naming no port: error keys, the job ends
  bool pump_while_draining = false;   // messages run while the output drains
  Dialect dialect = Dialect::Kitchen;
  std::span<const KeyValue> start_keys;  // written at start-up, in order
  std::span<const KeyValue> job_keys;    // written as a job begins, in order
  bool request_cleared_at_end = false;   // "kit_abc" = "N" again just before "end"
  ResidentMarkers markers;
  // The failure marker; with failure_names_where "-" and where it happened
  // follow (the port field, "Timer" outside a job, "Load" at start-up), and
  // a job's failure text begins with the port field and "-".
  std::string_view failure_marker;
  bool failure_names_where = false;
  std::string_view unload_marker;         // written before the ports close at a stop
  std::string_view close_failure_marker;  // a failure closing the ports: its keys, or only reported
  // The status line: caption (UTF-8) and the open ports, each added with the separator.
  std::string_view caption;
  std::string_view first_label;
  std::string_view label_separator;
  std::string_view bad_port_text;  // UTF-8, the port field follows
};

class ResidentPrinter {
 public:
  ResidentPrinter(const ResidentProfile& profile, events::Loop& loop, mailbox::Mailbox& mb);

  // Writes the start-up keys, prepares the ports, shows the status line and
  // starts polling. Throws on a mailbox failure (see fail_at_start).
  void start();
  // One look at the request flag; a "Y" runs the job. A failure takes the
  // failure path and ends the loop.
  void poll();
  // The failure path of a failed start.
  void fail_at_start(const Failure& failure);
  // Closes the open ports; at a stop (`unload`) the unload marker, where
  // there is one, is written first.
  void close_ports(bool unload);

 private:
  enum class Where { Job, Timer, Load };

  void put(std::string_view key, std::string_view value);
  void marker(std::string_view m, const std::string& port);
  void fail(std::string marker, std::string text, const Failure& failure);
  void fail_in(Where where, const std::string& port, const Failure& failure);
  comm::CommControl* control_for(const std::string& port);
  void run_job(std::string& port);
  void print_serial(mailbox::JobFile& file, const mailbox::JobHeader& h, std::string_view signal);
  void print_parallel(mailbox::JobFile& file, const mailbox::JobHeader& h, std::string_view signal);

  const ResidentProfile& profile_;
  events::Loop& loop_;
  mailbox::Mailbox& mb_;
  text::Literal caption_;
  text::Literal bad_port_;
  std::vector<std::unique_ptr<comm::CommControl>> controls_;
  std::string label_;
  events::Loop::TimerId timer_ = 0;
};

// Runs a resident printer until it is asked to stop (0) or fails (1).
int run_resident(const ResidentProfile& profile);

// The two resident printers.
const ResidentProfile& kitmux_profile();
const ResidentProfile& kitfeed_profile();

}  // namespace pink::kitchen
