#include "tools/msgsend/batch.h"

#include "msgcall/msgcall.h"

namespace pink::msgsend {
namespace {

// Results of a send after the login that mean the object closed the
// connection; any other result but 1 is the provider's refusal byte.
bool closes_after_login(std::int32_t result) { return result >= -7 && result <= -4; }

}  // namespace

std::vector<std::int32_t> send_batch(Link& link, const std::vector<Fields>& messages) {
  std::vector<std::int32_t> results;
  std::int32_t socket = -1;
  bool unreachable = false;
  bool logged_in = false;
  for (std::size_t i = 0; i < messages.size(); ++i) {
    if (socket < 0 && !unreachable) {
      socket = link.connect();
      unreachable = socket < 0;
      logged_in = false;
    }
    if (unreachable) {
      results.push_back(-1);
      continue;
    }
    const bool first = !logged_in;
    const std::int32_t r = link.send_dongbo(socket, first, i + 1 == messages.size(), messages[i]);
    results.push_back(r);
    // A refusal in a send that logged in may be the login's: the object has
    // closed the connection then. After the login only -4..-7 close it.
    const bool still_open = r == 1 || (!first && !closes_after_login(r));
    if (still_open) {
      logged_in = true;
    } else {
      socket = -1;
    }
  }
  if (socket >= 0) link.close(socket);
  return results;
}

std::string report(std::size_t index, const Fields& m, std::int32_t result) {
  return "message " + std::to_string(index + 1) + " (seq " + m.seq + "): " + std::to_string(result) + " " +
         msgcall::describe_result(result);
}

}  // namespace pink::msgsend
