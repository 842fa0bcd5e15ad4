// Sending msgsend's messages and saying what came of them, over the message
// sending object's four methods (a Link), as pure logic.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/msgsend/options.h"

namespace pink::msgsend {

// The message sending object's methods, as msgsend calls them.
class Link {
 public:
  virtual ~Link() = default;
  virtual std::int32_t send(const Fields& m) = 0;  // MMSSend
  virtual std::int32_t connect() = 0;              // MMSConnect: a socket or -1
  virtual std::int32_t send_dongbo(std::int32_t socket, bool first, bool last, const Fields& m) = 0;
  virtual void close(std::int32_t socket) = 0;     // MMSClose
};

// Sends the messages over one connection, logging in with the first and
// marking the last; the nRetVal of each, in order. A failure closes the
// object's connection (the object closes it itself, and the socket is never
// touched again): the messages after it go over a new one, with a new
// login. A message refused by the provider after the login leaves the
// connection open for the next. When no server can be reached, the
// messages not yet sent get -1 without further tries.
std::vector<std::int32_t> send_batch(Link& link, const std::vector<Fields>& messages);

// The line printed for a message, with what its result means:
// "message 2 (seq A0002): 1 accepted".
std::string report(std::size_t index, const Fields& m, std::int32_t result);

}  // namespace pink::msgsend
