// Command line of the messaging provider simulator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pink::msgsim {

// Where a scripted misbehaviour applies: the login's reply or a message's result.
enum class Point : std::uint8_t { None, Login, Result };

struct Script {
  std::uint8_t login_reply = '1';                 // "1" accepts the login
  std::vector<std::uint8_t> results = {'O'};      // per message of a connection; the last repeats
  Point stall = Point::None;                      // never answer there
  Point short_record = Point::None;               // answer there with half a record, then close
  bool close_before_result = false;               // close after a message instead of answering
  std::uint32_t wait_ms = 60000;                  // how long to wait for the terminal's next record
};

struct Options {
  std::string host = "127.0.0.1";
  std::uint16_t port = 7744;
  std::uint64_t connections = 0;  // 0: no limit
  std::string store;              // cp949; empty: keep nothing
  bool quiet = false;             // only the listening line, connections and errors
  bool help = false;
  Script script;
};

// Parses the arguments (cp949, without the program name). On a usage error
// nothing, with the reason in `error`.
std::optional<Options> parse_options(const std::vector<std::string>& args, std::string& error);

// A reply byte given as one character ("O", "1", "E") or as 0xNN.
std::optional<std::uint8_t> parse_code(const std::string& text);

extern const char* const kUsage;

}  // namespace pink::msgsim
