// The advisory port-busy protocol of the print spoolers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "mailbox/log.h"
#include "mailbox/mailbox.h"

namespace pink::mailbox {

struct PortBusyOptions {
  std::uint32_t poll_ms = 200;
  int max_polls = 10;
  std::function<void(std::uint32_t)> sleep;  // default: the platform's sleep
};

// Steps 1 and 2: with "spiro"/"PortCheckYN" = "Y", waits while the port's flag
// reads "Y" (at most max_polls x poll_ms) and logs "<port> Port-<count>";
// then sets the flag "Y" whatever happened. Returns the number of polls.
int take_port(Mailbox& mb, Log& log, std::string_view port_field,
              const PortBusyOptions& options = {});

// Step 3: sets the port's flag "N".
void release_port(Mailbox& mb, std::string_view port_field);

}  // namespace pink::mailbox
