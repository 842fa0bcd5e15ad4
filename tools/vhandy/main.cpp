// vhandy: a handheld terminal on a virtual serial port. It sends the lines of
// a file as records to a receiving program (hx410) with the terminal's
// exchange, waiting for each ACK, and says what it did.
//
//   vhandy COMn FILE [--timeout S] [--ack-timeout MS] -- PROGRAM [ARGS...]
//   vhandy COMn FILE [--timeout S] [--ack-timeout MS] --listen
//
// See tools/vhandy/README.md.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/help.h"
#include "platform/serial.h"
#include "tools/testkit/capture.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"
#include "tools/vhandy/terminal.h"

namespace {

constexpr int kUsage = 2;
constexpr int kFailed = 1;
constexpr std::uint32_t kProgramEndMs = 5000;

constexpr char kHelp[] =
    "usage: vhandy COMn FILE [--timeout S] [--ack-timeout MS] -- PROGRAM [ARGS...]\n"
    "       vhandy COMn FILE [--timeout S] [--ack-timeout MS] --listen\n"
    "       vhandy --help | --version\n"
    "\n"
    "A handheld terminal on a virtual serial port COMn (a pseudo-terminal pair).\n"
    "Sends ENQ and waits for ACK, sends each line of FILE (LF or CR LF lines,\n"
    "bytes as they are: cp949 for Korean) as one record STX record ETX and waits\n"
    "for its ACK, then sends the end marker \">\" and waits for its ACK.\n"
    "\n"
    "  -- PROGRAM ...   runs PROGRAM with $PINK_COMn set to the port; after the\n"
    "                   exchange (or when it fails) stops it with SIGTERM and\n"
    "                   passes on what it printed\n"
    "  --listen         prints the port's device path on the first line; start\n"
    "                   the receiving program with PINK_COMn=<that path>\n"
    "  --timeout S      seconds to wait for the ACK of the ENQ (default 30)\n"
    "  --ack-timeout MS milliseconds to wait for every later ACK (default 3000)\n"
    "  FILE             \"-\" reads the records from standard input\n"
    "\n"
    "Exit status: 0 when the ENQ, every record and the end marker were each\n"
    "acknowledged (and PROGRAM, when given, ended with status 0 when stopped);\n"
    "1 when not; 2 on bad usage or a FILE that cannot be read or holds ETX;\n"
    "128 + signal when interrupted.\n";

int usage(const std::string& why) {
  if (!why.empty()) std::cerr << "vhandy: " << why << "\n";
  std::cerr << kHelp;
  return kUsage;
}

struct Options {
  int com = 0;
  std::string file;
  bool listen = false;
  std::vector<std::string> command;
  pink::vhandy::Timing timing;
};

bool parse_number(const std::string& text, std::uint32_t max, std::uint32_t& out) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  const unsigned long v = std::stoul(text);
  if (v == 0 || v > max) return false;
  out = static_cast<std::uint32_t>(v);
  return true;
}

// Returns an error text, or "" when the arguments are good.
std::string parse(const std::vector<std::string>& args, Options& o) {
  if (args.size() < 2) return "COMn and FILE are needed";
  o.com = pink::serial::port_number(args[0]);
  if (o.com == 0) return "not a port name: " + args[0];
  o.file = args[1];
  for (std::size_t i = 2; i < args.size(); ++i) {
    std::uint32_t n = 0;
    if (args[i] == "--listen") {
      o.listen = true;
    } else if (args[i] == "--timeout" && i + 1 < args.size() && parse_number(args[i + 1], 3600, n)) {
      o.timing.first_ack_ms = n * 1000;
      ++i;
    } else if (args[i] == "--ack-timeout" && i + 1 < args.size() && parse_number(args[i + 1], 3600000, n)) {
      o.timing.ack_ms = n;
      ++i;
    } else if (args[i] == "--") {
      o.command.assign(args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    } else {
      return "bad option " + args[i];
    }
  }
  if (o.listen == !o.command.empty()) return "give either --listen or -- PROGRAM";
  return "";
}

std::optional<std::string> read_file(const std::string& path) {
  std::ostringstream bytes;
  if (path == "-") {
    bytes << std::cin.rdbuf();
    return bytes.str();
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  bytes << in.rdbuf();
  return bytes.str();
}

// A program named without a folder is looked for on $PATH, as a shell does.
std::string find_program(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  const char* path = std::getenv("PATH");
  std::string_view dirs = path != nullptr ? path : "";
  while (!dirs.empty()) {
    const auto colon = dirs.find(':');
    const std::string dir(dirs.substr(0, colon));
    dirs.remove_prefix(colon == std::string_view::npos ? dirs.size() : colon + 1);
    const std::filesystem::path candidate = std::filesystem::path(dir.empty() ? "." : dir) / name;
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate.string();
  }
  return name;
}

// Runs the exchange with the program started by vhandy, then stops the program.
int play_with_program(pink::testkit::VirtualPort& port, const Options& o,
                      const std::vector<std::string>& records) {
  pink::testkit::Process program(find_program(o.command.front()), {o.command.begin() + 1, o.command.end()});
  pink::vhandy::Terminal terminal(port, std::cout, o.timing, [&program]() -> std::string {
    if (const int sig = pink::testkit::stop_signal()) return "interrupted by signal " + std::to_string(sig);
    if (!program.running()) return "the program ended first";
    return "";
  });
  const bool ok = terminal.play(records);
  const int status = program.terminate(kProgramEndMs);
  std::cout << program.out() << std::flush;
  std::cerr << program.err() << std::flush;
  std::cout << "vhandy: " << terminal.acknowledged_records() << " of " << records.size()
            << " records acknowledged; " << o.command.front() << " ended with status " << status << std::endl;
  if (const int sig = pink::testkit::stop_signal()) return 128 + sig;
  return ok && status == 0 ? 0 : kFailed;
}

int play_listening(pink::testkit::VirtualPort& port, const Options& o, const std::vector<std::string>& records) {
  std::cout << port.slave_path() << std::endl;
  pink::vhandy::Terminal terminal(port, std::cout, o.timing, []() -> std::string {
    if (const int sig = pink::testkit::stop_signal()) return "interrupted by signal " + std::to_string(sig);
    return "";
  });
  const bool ok = terminal.play(records);
  std::cout << "vhandy: " << terminal.acknowledged_records() << " of " << records.size()
            << " records acknowledged" << std::endl;
  if (const int sig = pink::testkit::stop_signal()) return 128 + sig;
  return ok ? 0 : kFailed;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (const auto status = pink::cli::respond(args, "vhandy", kHelp)) return *status;
  Options o;
  if (const std::string why = parse(args, o); !why.empty()) return usage(why);
  const auto bytes = read_file(o.file);
  if (!bytes) {
    std::cerr << "vhandy: cannot read " << o.file << "\n";
    return kUsage;
  }
  const pink::vhandy::Records r = pink::vhandy::records_from(*bytes);
  if (!r.error.empty()) {
    std::cerr << "vhandy: " << o.file << ": " << r.error << "\n";
    return kUsage;
  }
  try {
    pink::testkit::VirtualPort port(o.com);
    pink::testkit::catch_stop_signals();
    if (!o.listen) std::cout << "vhandy: " << port.name() << " is " << port.slave_path() << std::endl;
    return o.listen ? play_listening(port, o, r.records) : play_with_program(port, o, r.records);
  } catch (const std::exception& e) {
    std::cerr << "vhandy: " << e.what() << "\n";
    return kFailed;
  }
}
