// vpad's command line, as pure logic.
//
//   vpad FAMILY COMn [options] -- PROGRAM [ARGS...]
//   vpad FAMILY COMn [options] --listen
//   vpad --help
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "signpad/device.h"

namespace pink::vpad {

inline constexpr std::array<std::string_view, 3> kFamilies{"tallypad", "stylpad", "quillpad"};

struct Options {
  bool help = false;
  std::string family;                // one of kFamilies
  int com = 0;                       // the n of COMn
  bool listen = false;               // else `command` runs
  std::vector<std::string> command;  // PROGRAM and its arguments
  std::string signature = "sample";  // "sample" or a bitmap file's name
  std::string log_file;              // "" : the log goes to standard output
  signpad::PadScript script;         // everything but the signature's points
};

// Parses the arguments (UTF-8, without the program name). Nothing, with the
// reason in `error`, on a usage error. Texts for the pad (--info) are turned
// into cp949 as the pad holds them.
std::optional<Options> parse_options(const std::vector<std::string>& args, std::string& error);

// "0B 12 a0", "0b12A0": the bytes; nothing for anything but pairs of
// hexadecimal digits (spaces between the pairs allowed).
std::optional<std::vector<std::uint8_t>> parse_hex(std::string_view text);

extern const char* const kUsage;

}  // namespace pink::vpad
