#include "tools/testkit/capture.h"

#include <csignal>

namespace pink::testkit {
namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void note_stop_signal(int sig) { g_stop = sig; }

}  // namespace

void catch_stop_signals() {
  std::signal(SIGINT, note_stop_signal);
  std::signal(SIGTERM, note_stop_signal);
}

int stop_signal() { return static_cast<int>(g_stop); }

ProgramCapture capture_program(VirtualPort& port, const std::vector<std::string>& command,
                               std::uint32_t quiet_ms, std::uint32_t max_ms) {
  ProgramCapture out;
  AttachedProcess program(command.at(0), {command.begin() + 1, command.end()});
  while (program.running() && stop_signal() == 0) out.bytes += port.read_available(50);
  // Bytes still on their way when the program ended.
  out.bytes += port.read_for(quiet_ms, max_ms);
  if (stop_signal() != 0 && program.running()) {
    out.status = 128 + stop_signal();  // the program is killed on return
  } else {
    out.status = program.wait();
  }
  return out;
}

std::string capture_until_stopped(VirtualPort& port,
                                  const std::function<void(const std::string&)>& on_piece) {
  std::string all;
  const auto take = [&](const std::string& piece) {
    if (piece.empty()) return;
    all += piece;
    if (on_piece) on_piece(piece);
  };
  while (stop_signal() == 0) take(port.read_available(100));
  take(port.read_for(50, 1000));
  return all;
}

}  // namespace pink::testkit
