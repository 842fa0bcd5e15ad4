#include "cli/help.h"
#include "spoolers/printer.h"

namespace {

constexpr pink::cli::Help kHelp{
    "enter",
    "\n--help | --version",
    "Prints the receipt job \"enter.zor\" of the current folder on the serial or\n"
    "parallel port its header names and ends. It writes nothing to the mailbox:\n"
    "the POS sees the job done when the process ends. Arguments other than\n"
    "--help and --version are ignored.",
    "PINK_SETTINGS   the settings mailbox; read: prtspeed/com<port> (line settings)\n"
    "PINK_COMn       the device of COMn (default /dev/ttyS(n-1))\n"
    "PINK_LPT1       the device or file of the parallel port (default /dev/lp0)",
    "enter.zor       the job, read from the current folder",
    "0  printed\n"
    "1  failed (a missing job file, a port that cannot be opened); enter says\n"
    "   nothing else, by design",
};

}  // namespace

int main(int argc, char** argv) {
  if (const auto status = pink::cli::respond(argc, argv, kHelp)) return *status;
  return pink::spoolers::run_enter();
}
