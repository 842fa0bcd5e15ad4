// Capturing what programs send to a virtual port: the common part of the
// virtual-device tools (vcom, vprinter). Linux only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/testkit/vport.h"

namespace pink::testkit {

// From now on SIGINT and SIGTERM are noted instead of ending the process.
void catch_stop_signals();
// The signal noted since catch_stop_signals(), or 0.
int stop_signal();

struct ProgramCapture {
  std::string bytes;
  // The program's exit status (127 when it could not be started); 128 + the
  // signal when a stop signal came while the program still ran (the program
  // is then killed).
  int status = 0;
};

// Runs `command` (program and arguments; it shares this process's standard
// streams and environment, so the port's $PINK_COMn) and collects what
// arrives on the port while it runs, and after its end until the port has
// been quiet for quiet_ms (at most max_ms more).
ProgramCapture capture_program(VirtualPort& port, const std::vector<std::string>& command,
                               std::uint32_t quiet_ms = 200, std::uint32_t max_ms = 2000);

// Collects what arrives on the port until a stop signal is noted, handing
// each piece to `on_piece` as it comes; what is still pending when the
// signal comes is collected (and handed on) too.
std::string capture_until_stopped(VirtualPort& port,
                                  const std::function<void(const std::string&)>& on_piece = {});

}  // namespace pink::testkit
