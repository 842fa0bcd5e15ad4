#include "kitchen/resident.h"

#include "platform/console.h"
#include "platform/eventloop.h"

namespace pink::kitchen {

int resident_main(std::string_view program, const std::vector<std::string>& args, int (*run)()) {
  const std::string name(program);
  if (args.empty()) return run();
  if (args.size() != 1 || args[0] != "--stop") {
    console::err("usage: " + name + "          runs the resident printer\n       " + name +
                 " --stop   asks the running one to end\n");
    return kStopUsage;
  }
  switch (events::send_stop(program, kStopWaitMs)) {
    case events::StopResult::Stopped:
      return kStopDone;
    case events::StopResult::NotRunning:
      console::err(name + " is not running\n");
      return kStopNotRunning;
    case events::StopResult::StillRunning:
      console::err(name + " was asked to stop and is still running after " +
                   std::to_string(kStopWaitMs / 1000) + " s\n");
      return kStopPending;
    case events::StopResult::Failed:
      break;
  }
  console::err(name + ": the stop request could not be sent\n");
  return kStopPending;
}

}  // namespace pink::kitchen
