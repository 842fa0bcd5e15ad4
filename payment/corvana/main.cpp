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

#include "cli/help.h"
#include "mailbox/mailbox.h"
#include "payment/corvana/bridge.h"
#include "platform/console.h"

namespace {

constexpr pink::cli::Help kHelp{
    "corvana",
    "C/ADDRESS/PORT\nS/ADDRESS/PORT\nE/ADDRESS/PORT\n--help | --version",
    "Runs one job with the card-payment network and ends. C sends the request in\n"
    "floyd/corvana_text to ADDRESS:PORT over TLS and brings the response back;\n"
    "S (re)starts and E stops the network library's TLS layer. The POS sets\n"
    "corvana_state to \"start\" first and waits for corvana_state \"End\".",
    "PINK_SETTINGS      the settings mailbox (default ~/.config/pink/settings.db)\n"
    "  floyd/corvana_state   read (must be \"start\"), then emptied, \"End\" last\n"
    "  floyd/corvana_text    read (the request), written (the response)\n"
    "  floyd/corvana_power   written: the response's fields\n"
    "  floyd/corvana_error   written: empty, or what failed\n"
    "PINK_TLS_CAFILE    PEM trust anchors of the network's certificate, over\n"
    "                   CAFile= in ssllib32.ini (default: the system store)\n"
    "PINK_TLS_PEERNAME  the name the certificate must carry, over PeerName=\n"
    "                   in ssllib32.ini (default: ADDRESS)\n"
    "PINK_MAILBOX_TRACE a file that receives every mailbox write",
    "libCorvanaVAN.so   the network library, loaded beside the program\n"
    "libssllib32.so     the TLS library, loaded by the network library\n"
    "ssllib32.ini       [ssllib32] CAFile=, PeerName=, beside libssllib32.so\n"
    "corvana.ini        [COMM_PORT] PORT=, read from the current folder\n"
    "CRV<yyyymmdd>.log  the day trace of the exchange, in the current folder",
    "0  the job finished without error\n"
    "1  it failed: corvana_error and standard error say why",
};

}  // namespace

int main(int argc, char** argv) {
  using namespace pink;
  const std::vector<std::string> args = console::arguments(argc, argv);
  if (const auto status = cli::respond(args, kHelp)) return *status;
  std::string command_line;
  for (const std::string& arg : args) {
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
