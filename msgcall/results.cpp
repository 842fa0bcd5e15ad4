// What a result means, for people (the command line, logs of the callers).
#include <array>
#include <cstdio>

#include "msgcall/client.h"

namespace pink::msgcall {
namespace {

struct Meaning {
  std::int32_t result;
  const char* text;
};

constexpr std::array<Meaning, 8> kMeanings = {{
    {kAccepted, "accepted"},
    {kNoServer, "no server reachable"},
    {kLoginNotSent, "the login was not sent whole"},
    {kLoginReplyNotReceived, "the login reply was not received whole"},
    {kHeaderNotSent, "the message header was not sent whole"},
    {kBodyNotSent, "the message text was not sent (not whole, or longer than 9999 bytes)"},
    {kAttachmentFailed, "an attached file could not be read or sent"},
    {kResultNotReceived, "the result was not received whole"},
}};

}  // namespace

std::string describe_result(std::int32_t result) {
  for (const Meaning& m : kMeanings) {
    if (m.result == result) return m.text;
  }
  if (result != kRefusedWithOne && (result < -128 || result > 127)) {
    return "unknown result " + std::to_string(result);
  }
  const auto code = static_cast<std::uint8_t>(result);
  char text[64];
  if (code >= 0x20 && code < 0x7F) {
    std::snprintf(text, sizeof text, "refused by the provider (code '%c', 0x%02X)", code, code);
  } else {
    std::snprintf(text, sizeof text, "refused by the provider (code 0x%02X)", code);
  }
  return text;
}

}  // namespace pink::msgcall
