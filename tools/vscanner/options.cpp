#include "tools/vscanner/options.h"

#include <charconv>

#include "platform/serial.h"
#include "platform/text.h"

namespace pink::vscanner {
namespace {

constexpr std::string_view kUsage =
    "usage: vscanner COMn [--end cr|crlf] [--gap MS] [--no-wait] [CODE...] -- PROGRAM [ARGS...]\n"
    "       vscanner COMn [--end cr|crlf] [--gap MS] [--no-wait] --listen [CODE...]\n"
    "       vscanner --help | --version\n"
    "\n"
    "A barcode scanner on a virtual serial port. It sends each CODE (or, with\n"
    "no CODE, each line of standard input as it comes) followed by the ending\n"
    "(--end cr, the default, or crlf), after a pause of MS milliseconds before\n"
    "each code (--gap, default 100).\n"
    "\n"
    "  -- PROGRAM   runs PROGRAM with $PINK_COMn pointing at the port and ends\n"
    "               with its exit status once it ends\n"
    "  --listen     prints the port's device path on the first line, for a\n"
    "               program started elsewhere with PINK_COMn=PATH; runs until\n"
    "               interrupted (Ctrl-C, SIGTERM)\n"
    "  --no-wait    sends at once instead of waiting until a program has\n"
    "               opened the port and set its line\n"
    "\n"
    "Exit status: PROGRAM's status (128 + signal when interrupted); 0 after\n"
    "--listen; 1 when the port cannot be made; 2 on bad usage.\n";

struct Ending {
  std::string_view name;
  std::string_view bytes;
};
constexpr Ending kEndings[] = {{"cr", "\r"}, {"crlf", "\r\n"}};

std::optional<std::uint32_t> milliseconds(std::string_view s) {
  std::uint32_t v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || v > 3600000) return std::nullopt;
  return v;
}

std::optional<std::string> ending_bytes(std::string_view name) {
  for (const auto& e : kEndings) {
    if (e.name == name) return std::string(e.bytes);
  }
  return std::nullopt;
}

// Takes the option at args[i] (and its value); an error text when it is wrong.
std::string take_option(const std::vector<std::string>& args, std::size_t& i, Options& o) {
  const std::string& a = args[i];
  const bool has_value = i + 1 < args.size();
  if (a == "--listen") {
    o.listen = true;
  } else if (a == "--no-wait") {
    o.wait_open = false;
  } else if (a == "--end" && has_value) {
    const auto bytes = ending_bytes(args[++i]);
    if (!bytes) return "--end takes cr or crlf, not " + args[i];
    o.ending = *bytes;
  } else if (a == "--gap" && has_value) {
    const auto ms = milliseconds(args[++i]);
    if (!ms) return "--gap takes milliseconds (0 to 3600000), not " + args[i];
    o.gap_ms = *ms;
  } else {
    return "unknown option " + a;
  }
  return {};
}

}  // namespace

std::string_view usage() { return kUsage; }

Parsed parse(const std::vector<std::string>& args) {
  Parsed p;
  Options o;
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    o.help = true;
    p.options = o;
    return p;
  }
  if (args.empty()) return {std::nullopt, "no port given"};
  o.com = serial::port_number(args[0]);
  if (o.com == 0) return {std::nullopt, "not a port name: " + args[0]};
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--") {
      o.command.assign(args.begin() + static_cast<long>(i) + 1, args.end());
      if (o.command.empty()) return {std::nullopt, "no program after --"};
      break;
    }
    if (args[i].size() > 2 && args[i].rfind("--", 0) == 0) {
      std::string error = take_option(args, i, o);
      if (!error.empty()) return {std::nullopt, error};
      continue;
    }
    o.codes.push_back(args[i]);
  }
  if (o.listen == !o.command.empty()) {
    return {std::nullopt, o.listen ? "--listen takes no program" : "give -- PROGRAM or --listen"};
  }
  p.options = std::move(o);
  return p;
}

std::string frame(std::string_view code_utf8, std::string_view ending) {
  return text::utf8_to_cp949(code_utf8) + std::string(ending);
}

std::string line_code(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return std::string(line);
}

}  // namespace pink::vscanner
