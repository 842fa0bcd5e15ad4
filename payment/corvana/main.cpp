// corvana: runs one card-payment exchange for the POS and ends.
//
//   corvana C/<network address>/<port>   the exchange of "corvana_text"
//   corvana S/<address>/<port>           restart the link library's SSL libraries
//   corvana E/<address>/<port>           release them
//
// The POS sets "corvana_state" to "start" first and waits for "End". The exit
// status is 0 when the job finished without error and 1 otherwise; the reason
// of a failure is in "corvana_error" and, for people, on standard error.
#include <string>

#include "mailbox/mailbox.h"
#include "payment/corvana/bridge.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  using namespace pink;
  std::string command_line;
  for (const std::string& arg : console::arguments(argc, argv)) {
    if (!command_line.empty()) command_line += ' ';
    command_line += arg;
  }

  mailbox::StoreMailbox mailbox;
  const auto network = corvana::bind_corvanavan();
  corvana::Bridge bridge(*network, mailbox);
  const int status = bridge.run(command_line);
  if (status != 0) {
    std::string line = "corvana: " + bridge.error_text();
    if (!bridge.detail().empty()) line += " (" + bridge.detail() + ")";
    console::err(line + "\n");
  }
  return status;
}
