#include "mailbox/portbusy.h"

#include "platform/clock.h"

namespace pink::mailbox {

namespace {
constexpr std::string_view kPortCheck = "PortCheckYN";
}

int take_port(Mailbox& mb, Log& log, std::string_view port_field, const PortBusyOptions& options) {
  int polls = 0;
  if (mb.get(kSpiro, kPortCheck) == "Y" && mb.get(kSpiro, port_field) == "Y") {
    // Someone else has the port: wait for it, but never for long. The flag
    // is advisory, so the job goes ahead either way.
    while (polls < options.max_polls) {
      if (options.sleep) {
        options.sleep(options.poll_ms);
      } else {
        clock::sleep_ms(options.poll_ms);
      }
      const bool released = mb.get(kSpiro, port_field) == "N";
      ++polls;
      if (released) break;
    }
    log.write(std::string(port_field) + " Port-" + std::to_string(polls));
  }
  mb.put(kSpiro, port_field, "Y");
  return polls;
}

void release_port(Mailbox& mb, std::string_view port_field) { mb.put(kSpiro, port_field, "N"); }

}  // namespace pink::mailbox
