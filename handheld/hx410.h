// hx410: receives data records from a handheld terminal over a serial line
// into a text file, one record per line, and shows them on its form.
#pragma once

#include <string>
#include <vector>

namespace pink::handheld {

// Exit statuses of the program.
enum ExitStatus : int {
  kExitEnded = 0,           // the user ended it, or a stop signal did
  kExitNotStarted = 1,      // the settings file or the port failed at start
  kExitTransferFailed = 2,  // a transfer failed (output file, serial line)
};

// The usage text of `hx410 --help` (cp949).
std::string help_text();

// Runs the program with its arguments (without the program name, cp949).
// "--help" (also "-h", "/?") prints the usage and touches nothing; every
// other argument is ignored. Returns the exit status.
int run_hx410(const std::vector<std::string>& args);

}  // namespace pink::handheld
