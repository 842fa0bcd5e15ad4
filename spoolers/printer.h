#pragma once

namespace pink::spoolers {

// Runs one `printer` job in the current folder; returns the exit status
// (0 printed, 1 the job failed and the mailbox says why, 2 no mailbox).
int run_printer();

// Runs one `enter` job in the current folder; failures end it silently
// (exit status 1), nothing is written to the mailbox.
int run_enter();

}  // namespace pink::spoolers
