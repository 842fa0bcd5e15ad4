#include "cli/help.h"
#include "spoolers/printer.h"

namespace {

constexpr pink::cli::Help kHelp{
    "printer",
    "\n--help | --version",
    "Prints the receipt job \"printer.zor\" of the current folder on the port its\n"
    "header names (COM1..COM16, \"P\" for the parallel port, or through the\n"
    "receipt printer library rcptlib) and ends. The POS writes the job first and\n"
    "starts printer without arguments; arguments other than --help and --version\n"
    "are ignored.",
    "PINK_SETTINGS      the settings mailbox (default ~/.config/pink/settings.db)\n"
    "  floyd/prttw_state, prttw_error, prttw_text   written: start, then on failure\n"
    "                                               end, syserror and the reason\n"
    "  spiro/PortCheckYN, spiro/<port>             port-busy wait and flags\n"
    "  prtspeed/com<port>                          serial line settings\n"
    "PINK_COMn          the device of COMn (default /dev/ttyS(n-1))\n"
    "PINK_LPT1          the device or file of the parallel port (default /dev/lp0)\n"
    "PINK_SIGNDIR       the folder of sign.bmp and zorsign.bmp (default /var/lib/pink)\n"
    "PINK_MAILBOX_TRACE a file that receives every mailbox write",
    "printer.zor          the job, read from the current folder\n"
    "zorlog/ZorVB.log     the log, appended when the folder zorlog exists\n"
    "pv_logo.bmp          the logo of the models that print one\n"
    "librcptlib.so        the printer library, loaded beside the program",
    "0  printed\n"
    "1  failed: the mailbox and standard error say why\n"
    "2  the mailbox could not be used",
};

}  // namespace

int main(int argc, char** argv) {
  if (const auto status = pink::cli::respond(argc, argv, kHelp)) return *status;
  return pink::spoolers::run_printer();
}
