#include "kitchen/help.h"

namespace pink::kitchen {
namespace {

constexpr std::string_view kOneJobConfiguration =
    "PINK_SETTINGS      the settings mailbox (default ~/.config/pink/settings.db)\n"
    "  floyd/kit_state, kit_error, kit_text, kit_error_no, kit_process   written\n"
    "  spiro/PortCheckYN, spiro/<port>   port-busy wait and flags\n"
    "  prtspeed/com<port>                serial line settings\n"
    "PINK_COMn          the device of COMn (default /dev/ttyS(n-1))\n"
    "PINK_LPT1          the device or file of the parallel port (default /dev/lp0)\n"
    "PINK_MAILBOX_TRACE a file that receives every mailbox write";

constexpr std::string_view kOneJobExit =
    "0  printed (kit_state end, kit_process CM2)\n"
    "1  failed: the mailbox and standard error say why\n"
    "2  the mailbox could not be used";

constexpr std::string_view kResidentUsage =
    "\n--stop\n--help | --version";

constexpr std::string_view kResidentExit =
    "0  stopped (--stop, SIGTERM, SIGINT), or another kitmux already runs\n"
    "1  a job or the start-up failed (kit_process Err_Rtn-...); start it again\n"
    "With --stop: 0 the running one has ended, 1 none runs, 2 bad arguments,\n"
    "3 still running after 30 s or the request could not be sent";

}  // namespace

const cli::Help kKitchenHelp{
    "kitchen",
    "\n--help | --version",
    "Prints the kitchen order slip \"kitchen.zor\" of the current folder on the\n"
    "serial port (1..16) or parallel port (P) its header names, with the end\n"
    "signal it asks for, and ends. The POS starts it without arguments; arguments\n"
    "other than --help and --version are ignored.",
    kOneJobConfiguration,
    "kitchen.zor        the job, read from the current folder\n"
    "zorlog/ZorVB.log   the port-busy log, appended when zorlog exists",
    kOneJobExit,
};

const cli::Help kKitchenBHelp{
    "kitchenb",
    "\n--help | --version",
    "The second build of kitchen: prints \"kitchenb.zor\" of the current folder\n"
    "and ends; models never force 38400 baud. The POS starts it without\n"
    "arguments; arguments other than --help and --version are ignored.",
    kOneJobConfiguration,
    "kitchenb.zor       the job, read from the current folder\n"
    "zorlog/ZorVB.log   the port-busy log, appended when zorlog exists",
    kOneJobExit,
};

const cli::Help kKitmuxHelp{
    "kitmux",
    kResidentUsage,
    "Resident kitchen printer for serial ports 1..16 and the parallel port. Every\n"
    "200 ms it reads floyd/kit_abc; at \"Y\" it prints \"kitchen.zor\" of the current\n"
    "folder. Serial ports stay open between jobs. One kitmux runs at a time.\n"
    "--stop asks the running one to end cleanly (\"Unload\").",
    "PINK_SETTINGS      the settings mailbox (default ~/.config/pink/settings.db)\n"
    "  floyd/kit_abc                     read (the POS's request), set to N\n"
    "  floyd/kit_state, kit_error, kit_text, kit_process   written\n"
    "  prtspeed/com1..com16              line settings, read at start-up\n"
    "PINK_COMn          the device of COMn (default /dev/ttyS(n-1))\n"
    "PINK_LPT1          the device or file of the parallel port (default /dev/lp0)\n"
    "PINK_LOCKDIR       the single-instance lock and the stop channel\n"
    "                   pink-kitmux.stop (default $XDG_RUNTIME_DIR, else /tmp)\n"
    "PINK_MAILBOX_TRACE a file that receives every mailbox write",
    "kitchen.zor        the job, read from the current folder",
    kResidentExit,
};

const cli::Help kKitfeedHelp{
    "kitfeed",
    kResidentUsage,
    "Resident serial kitchen printer for ports 1..15 at 9600,n,8,1. Every 200 ms\n"
    "it reads floyd/kit_abc; at \"Y\" it prints \"kitchen.zor\" of the current folder.\n"
    "A port field that is not 1..15 is reported in kit_text; \"P\" prints nothing.\n"
    "--stop asks the running one to end cleanly.",
    "PINK_SETTINGS      the settings mailbox (default ~/.config/pink/settings.db)\n"
    "  floyd/kit_abc                     read (the POS's request), set to N\n"
    "  floyd/kit_state, kit_error, kit_text, kit_process   written\n"
    "PINK_COMn          the device of COMn (default /dev/ttyS(n-1))\n"
    "PINK_LOCKDIR       the stop channel pink-kitfeed.stop\n"
    "                   (default $XDG_RUNTIME_DIR, else /tmp)\n"
    "PINK_MAILBOX_TRACE a file that receives every mailbox write",
    "kitchen.zor        the job, read from the current folder",
    "0  stopped (--stop, SIGTERM, SIGINT)\n"
    "1  a job or the start-up failed (kit_process EN1); start it again\n"
    "With --stop: 0 the running one has ended, 1 none runs, 2 bad arguments,\n"
    "3 still running after 30 s or the request could not be sent",
};

}  // namespace pink::kitchen
