// The steps the Windows-side TLS test programs run over a link, one line of
// output per step, for the test on the other side to compare. Shared by
// ssl_client (ssllib32.dll's calls) and tls_session (the platform's TLS
// session directly).
//
// Steps (texts may carry \xNN escapes; received bytes are shown the same way):
//   wait N           the link's wait (its own unit)   -> "wait <result> <milliseconds waited>"
//   recv SIZE        one receive                      -> "recv <count> <bytes>"
//   send TEXT        one send                         -> "send <result>"
//   sendpattern N    N bytes of a fixed pattern       -> "send <result>"
//   recvpattern N    receives until N bytes came (or a wait or receive
//                    ends it) and compares them with the pattern inverted
//                    byte by byte                     -> "recvpattern <count> <same|differs>"
//   close            closes the link                  -> "close <result>"
// A program adds steps of its own through `extra`.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace pink::wintls {

class Link {
 public:
  virtual ~Link() = default;
  virtual int wait(int amount) = 0;
  virtual int recv(char* buf, int size) = 0;
  virtual int send(const char* data, int size) = 0;
  virtual int close() = 0;
  // The wait recvpattern uses between receives, in the link's unit.
  virtual int pattern_wait() const = 0;
};

// The byte at position i of the pattern.
char pattern_byte(std::size_t i);
// Bytes as shown in the output, and a text with \xNN escapes as bytes.
std::string shown(const char* p, int n);
std::string unescaped(const std::string& text);
// One output line, flushed at once.
void print(const std::string& line);
void print(const char* step, long value, const std::string& rest = "");

// Runs the steps from args[at] on; a step `extra` knows is left to it: it
// returns the index after the step, or 0 when it does not know the step.
// False on a bad step list.
using ExtraStep = std::function<std::size_t(const std::vector<std::string>& args, std::size_t at)>;
bool run_steps(Link& link, const std::vector<std::string>& args, std::size_t at, const ExtraStep& extra);

}  // namespace pink::wintls
