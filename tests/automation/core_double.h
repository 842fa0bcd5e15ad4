// A stand-in for the message sending client's four operations, linked into
// the automation tests in place of the client: it records what each call was
// given and answers with the result the test scripted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "msgcall/msgcall.h"

namespace pink::msgcall::testing {

struct CoreCall {
  std::string operation;  // "send", "connect", "send_dongbo", "close"
  std::int32_t socket_id = 0, first = 0, last = 0;
  Message message;
};

struct CoreDouble {
  std::vector<CoreCall> calls;
  std::int32_t answer = 1;  // what every operation returns (close: always 0)
};

// The double of this process, emptied and answering 1 again.
CoreDouble& core_double();
void reset_core_double();

}  // namespace pink::msgcall::testing
