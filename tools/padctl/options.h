// padctl's command line, as pure logic over the family tables.
//
//   padctl FAMILY [--port N] [--baud N] COMMAND ARGS... [--bmp FILE]
//          [--timeout MS] [--snapshot FILE.png [--size WxH]] [--log DIR]
//          [--len N] [--ACTION MS]...
//   padctl [FAMILY] --help
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/padctl/families.h"

namespace pink::padctl {

struct Timed {
  const Action* action = nullptr;
  std::uint32_t after_ms = 0;  // after the job's request went out
};

struct Options {
  bool help = false;
  const Family* family = nullptr;    // with help: the family asked about, or null
  const Command* command = nullptr;
  std::vector<std::string> args;     // the command's arguments (UTF-8)
  int port = 1;
  std::optional<std::int32_t> baud;
  std::string bmp;                   // "" : none asked for
  std::uint32_t timeout_ms = 60000;
  std::string snapshot;              // "" : none
  std::optional<std::pair<int, int>> size;  // of the snapshot (256 x 128 unless given)
  std::string log_dir;               // "" : no log folder given
  std::optional<int> pin_len;        // 4 unless given
  std::vector<Timed> timed;          // host actions at fixed times
};

// Parses the arguments (UTF-8, without the program name). Nothing, with the
// reason in `error`, on a usage error.
std::optional<Options> parse_options(const std::vector<std::string>& args, std::string& error);

// The help: every family's commands and actions, or one family's.
std::string usage(const Family* family = nullptr);

}  // namespace pink::padctl
