// Command line of the payment network simulator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/paysim/engine.h"

namespace pink::paysim {

// The port the simulator listens on unless told otherwise: fixed, so that a
// walk-through can name it, and below 32768, because `corvana` reads the
// port of its command line as a 16-bit signed number.
inline constexpr std::uint16_t kDefaultPort = 23000;
static_assert(kDefaultPort > 0 && kDefaultPort <= 32767);

struct Options {
  std::string host = "127.0.0.1";
  std::uint16_t port = kDefaultPort;  // 0: a free port the system picks
  std::uint64_t connections = 0;  // 0: unlimited
  std::string cert_file, key_file, ca_file;
  std::string make_certs_dir;    // set: write a test PKI there and exit
  std::string response_file;     // set: the response is read from this file
  Script script;
  bool help = false;
};

// Parses the arguments (cp949, without the program name). On a usage error
// nothing, with the reason in `error`. The response is the approval preset
// unless --response, --response-file or --refusal says otherwise.
std::optional<Options> parse_options(const std::vector<std::string>& args, std::string& error);

extern const char* const kUsage;

}  // namespace pink::paysim
