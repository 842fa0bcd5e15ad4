// drawerd: serves the drawer device socket with a real cash drawer wired to
// the drawer port of an ESC/POS receipt printer (serial COMn, or a USB or
// parallel printer node such as /dev/usb/lp0). The open-drawer sequence
// becomes one drawer pulse (ESC p), the status request a real-time status
// query (DLE EOT 1) whose drawer bit is returned as the open bit.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/help.h"
#include "platform/devctl.h"
#include "tools/drawerd/bridge.h"
#include "tools/vdrawer/log.h"
#include "tools/vdrawer/service.h"

namespace {

using namespace pink;

constexpr const char* kUsage =
    "usage: drawerd NAME --printer PORT [--baud N] [--pin 2|5] [--pulse MS]\n"
    "               [--open-level high|low] [--status-timeout MS]\n"
    "               [--hold] [--log FILE] [--quiet] [--mode OCTAL]\n"
    "       drawerd --help | --version\n";

constexpr const char* kHelp =
    "Serves the drawer device socket $PINK_DRAWERDIR/NAME (default folder\n"
    "/run/pink) with a cash drawer wired to the drawer kick-out port of an\n"
    "ESC/POS receipt printer. NAME is a device name (TevDraw2kKwDev,\n"
    "DovCBXDev) or a library name (drawerio, cashbox).\n"
    "\n"
    "The release-on request of the open-drawer sequence sends one pulse\n"
    "ESC p m t1 t2; the other drive requests answer whether the latest pulse\n"
    "went out, so the open-drawer call returns 1 exactly when it did. The\n"
    "status request sends DLE EOT 1 and returns bit 0 set when pin 3 of the\n"
    "drawer connector says open; a printer that does not answer within\n"
    "--status-timeout gives a refused request (status 0).\n"
    "\n"
    "Options:\n"
    "  --printer PORT       COMn (serial, $PINK_COMn or /dev/ttyS(n-1)) or a\n"
    "                       printer device node such as /dev/usb/lp0\n"
    "  --baud N             serial speed (default 9600; 8 data bits, no parity)\n"
    "  --pin 2|5            drawer connector pin of the pulse (default 2)\n"
    "  --pulse MS           on time of the pulse, 2 to 510 ms (default 50);\n"
    "                       the off time is four times as long\n"
    "  --open-level LEVEL   pin 3 level of an open drawer: high (default) or low\n"
    "  --status-timeout MS  wait for the printer's status byte (default 500,\n"
    "                       at most 2000)\n"
    "  --hold               keep the printer line open between requests (by\n"
    "                       default it is opened for each request only, so\n"
    "                       that printing programs can use it in between)\n"
    "  --log FILE           append the log to FILE as well\n"
    "  --quiet              nothing on standard output\n"
    "  --mode OCTAL         access mode of the socket (default 660)\n"
    "\n"
    "Commands on standard input, one per line: pulse, status.\n"
    "SIGINT or SIGTERM ends drawerd and removes the socket.\n"
    "Exit status: 0 after a stop signal; 1 when the printer, the socket or the\n"
    "log file cannot be opened; 2 on bad usage.\n";

struct Options {
  std::string name;
  std::string printer;
  std::uint32_t baud = 9600;
  drawerd::BridgeOptions bridge;
  drawer_server::LogOptions log;
  unsigned mode = 0660;
};

std::optional<unsigned long> number(const std::string& text, int base, unsigned long min,
                                    unsigned long max) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const unsigned long v = std::strtoul(text.c_str(), &end, base);
  if (errno != 0 || end == nullptr || *end != '\0' || v < min || v > max) return std::nullopt;
  return v;
}

bool parse_value(const std::string& a, const std::string& v, Options& o) {
  std::optional<unsigned long> n;
  if (a == "--printer") {
    o.printer = v;
    return !v.empty();
  }
  if (a == "--log") {
    o.log.file = v;
    return true;
  }
  if (a == "--open-level") {
    o.bridge.open_when_high = v == "high";
    return v == "high" || v == "low";
  }
  if (a == "--baud" && (n = number(v, 10, 50, 4000000))) {
    o.baud = static_cast<std::uint32_t>(*n);
  } else if (a == "--pin" && (n = number(v, 10, 2, 5)) && (*n == 2 || *n == 5)) {
    o.bridge.pin = static_cast<int>(*n);
  } else if (a == "--pulse" && (n = number(v, 10, 2, 510))) {
    o.bridge.pulse_ms = static_cast<std::uint32_t>(*n);
  } else if (a == "--status-timeout" && (n = number(v, 10, 1, 2000))) {
    o.bridge.status_timeout_ms = static_cast<std::uint32_t>(*n);
  } else if (a == "--mode" && (n = number(v, 8, 0, 0777))) {
    o.mode = static_cast<unsigned>(*n);
  } else {
    return false;
  }
  return true;
}

std::optional<Options> parse(const std::vector<std::string>& args) {
  if (args.empty() || args[0].empty() || args[0][0] == '-') return std::nullopt;
  Options o;
  o.name = args[0];
  if (const drawer::Family* f = drawer::family_by_library(o.name)) o.name = f->device;
  o.bridge.family = drawer::family_by_device(o.name);
  if (o.bridge.family != nullptr) o.name = o.bridge.family->device;  // the socket's exact name
  if (devctl::device_path(o.name).empty()) return std::nullopt;  // no device name
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--quiet") {
      o.log.quiet = true;
    } else if (args[i] == "--hold") {
      o.bridge.hold_line = true;
    } else if (i + 1 >= args.size() || !parse_value(args[i], args[i + 1], o)) {
      return std::nullopt;
    } else {
      ++i;
    }
  }
  if (o.printer.empty()) return std::nullopt;
  return o;
}

void command(const std::string& line, drawerd::Bridge& bridge, drawer_server::Service& service) {
  if (line == "pulse") {
    const bool ok = bridge.pulse();
    service.log(vdrawer::format_ms(service.now_ms()) + (ok ? " pulse sent" : " pulse failed"));
  } else if (line == "status") {
    const auto s = bridge.query_status();
    char text[32];
    std::snprintf(text, sizeof text, " status=0x%02X", s.value_or(0));
    service.log(vdrawer::format_ms(service.now_ms()) +
                (s ? std::string(text) + ((*s & 1) ? " open" : " closed") : " status unknown"));
  } else if (!line.empty()) {
    std::cerr << "drawerd: unknown command \"" << line << "\" (pulse, status)\n";
  }
}

int serve(const Options& o) {
  drawer_server::Service service;
  std::string error;
  if (!service.open_log(o.log, error)) {
    std::cerr << "drawerd: " << error << "\n";
    return 1;
  }
  const auto opener = [&o](std::string& e) { return drawerd::open_link(o.printer, o.baud, e); };
  auto first = opener(error);
  if (!first) {
    std::cerr << "drawerd: " << error << "\n";
    return 1;
  }
  const std::string path = devctl::device_path(o.name);
  auto server = drawer_server::SocketServer::listen(path, o.mode, error);
  if (!server) {
    std::cerr << "drawerd: " << error << "\n";
    return 1;
  }
  const auto note = [&](const std::string& line) {
    service.log(vdrawer::format_ms(service.now_ms()) + " " + line);
  };
  drawerd::Bridge bridge(o.bridge, opener, note);
  if (o.bridge.hold_line) bridge.adopt(std::move(first));
  first.reset();
  server->set_event_sink([&](const std::string& what, int id) { note(what + " id=" + std::to_string(id)); });
  const auto handler = [&](const devctl::frame::Request& r) {
    const double t = service.now_ms();
    const vdrawer::Outcome out = bridge.handle(r);
    service.log(vdrawer::request_line(t, r, out));
    return drawer_server::Reply::framed(out.accepted, out.output);
  };
  drawer_server::Service::Hooks hooks;
  hooks.command = [&](const std::string& line) { command(line, bridge, service); };
  const char* family = o.bridge.family != nullptr ? o.bridge.family->library : "any";
  note("ready path=" + path + " family=" + family + " printer=" + o.printer);
  const int sig = service.run(*server, handler, hooks);
  note("stop signal=" + std::to_string(sig));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (const auto status = cli::respond(args, "drawerd", std::string(kUsage) + "\n" + kHelp)) return *status;
  const auto options = parse(args);
  if (!options) {
    std::cerr << kUsage;
    return 2;
  }
  return serve(*options);
}
