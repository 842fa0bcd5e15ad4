// The command line of the resident kitchen printers. The POS starts them
// without arguments; "--stop" asks the running one to end cleanly (ports
// closed, "Unload" written where the program writes it) from any process,
// without a window or console to send a close message to.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pink::kitchen {

// How long "--stop" waits for the program to end: a job under way is
// finished first.
inline constexpr std::uint32_t kStopWaitMs = 30000;

// Exit statuses of "--stop".
enum StopStatus : int {
  kStopDone = 0,        // the program took the request and has ended
  kStopNotRunning = 1,  // no such program runs
  kStopUsage = 2,       // an argument other than "--stop"
  kStopPending = 3,     // still running after the wait, or the request could not be sent
};

// Runs `run` when there are no arguments; "--stop" sends the stop request
// to the program listening under `program` instead. Messages go to
// standard error.
int resident_main(std::string_view program, const std::vector<std::string>& args, int (*run)());

}  // namespace pink::kitchen
