// vdrawer: a virtual cash drawer on the drawer device socket, for tests and
// for POS integrators without a drawer. It logs every request, answers it as
// the family's kernel driver would, and models the drawer: a release
// energised for 25 ms or more opens it; it closes again on the command
// "close" (standard input) or after --close-after MS.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/help.h"
#include "drivers/drawer/family.h"
#include "platform/devctl.h"
#include "tools/vdrawer/log.h"
#include "tools/vdrawer/model.h"
#include "tools/vdrawer/service.h"

namespace {

using namespace pink;

constexpr const char* kUsage =
    "usage: vdrawer NAME [--close-after MS] [--release-ms MS] [--refuse CODE]...\n"
    "               [--log FILE] [--quiet] [--mode OCTAL]\n"
    "       vdrawer --help | --version\n";

constexpr const char* kHelp =
    "Serves the drawer device socket $PINK_DRAWERDIR/NAME (default folder\n"
    "/run/pink, made when missing; a stale socket is removed) as a virtual\n"
    "cash drawer. NAME is a device name (TevDraw2kKwDev, DovCBXDev, with or\n"
    "without the \\\\.\\ prefix) or a library name (drawerio, cashbox); any\n"
    "other name serves the codes of both families.\n"
    "\n"
    "Every request is logged on one line (standard output, and --log FILE):\n"
    "  TIME request code=0x9C40BC08 role=release-on in=0000000010 out=0 accepted\n"
    "TIME is milliseconds since the start. A release energised for 25 ms\n"
    "(--release-ms) opens the drawer: the status byte then has bit 0 set\n"
    "(bit 1 while the release is energised).\n"
    "\n"
    "Options:\n"
    "  --close-after MS  the drawer closes by itself MS ms after it opened\n"
    "  --release-ms MS   how long the release must be energised (default 25)\n"
    "  --refuse CODE     refuse every request with this code (0x... or decimal;\n"
    "                    may be given more than once)\n"
    "  --log FILE        append the log to FILE as well\n"
    "  --quiet           nothing on standard output\n"
    "  --mode OCTAL      access mode of the socket (default 660)\n"
    "\n"
    "Commands on standard input, one per line: open, close, status.\n"
    "SIGINT or SIGTERM ends vdrawer and removes the socket.\n"
    "Exit status: 0 after a stop signal; 1 when the socket or the log file\n"
    "cannot be made; 2 on bad usage.\n";

struct Options {
  std::string name;
  vdrawer::ModelOptions model;
  drawer_server::LogOptions log;
  unsigned mode = 0660;
};

std::optional<unsigned long> number(const std::string& text, int base, unsigned long max) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const unsigned long v = std::strtoul(text.c_str(), &end, base);
  if (errno != 0 || end == nullptr || *end != '\0' || v > max) return std::nullopt;
  return v;
}

bool parse_option(const std::vector<std::string>& args, std::size_t& i, Options& o) {
  const std::string& a = args[i];
  if (a == "--quiet") {
    o.log.quiet = true;
    return true;
  }
  if (i + 1 >= args.size()) return false;
  const std::string& v = args[++i];
  if (a == "--log") {
    o.log.file = v;
  } else if (a == "--close-after" || a == "--release-ms") {
    const auto ms = number(v, 10, 86400000);
    if (!ms) return false;
    if (a == "--close-after") {
      o.model.close_after_ms = static_cast<double>(*ms);
    } else {
      o.model.release_ms = static_cast<double>(*ms);
    }
  } else if (a == "--refuse") {
    const auto code = number(v, 0, 0xFFFFFFFFul);
    if (!code) return false;
    o.model.refused.insert(static_cast<std::uint32_t>(*code));
  } else if (a == "--mode") {
    const auto mode = number(v, 8, 0777);
    if (!mode) return false;
    o.mode = static_cast<unsigned>(*mode);
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
  o.model.family = drawer::family_by_device(o.name);
  if (o.model.family != nullptr) o.name = o.model.family->device;  // the socket's exact name
  if (devctl::device_path(o.name).empty()) return std::nullopt;  // no device name
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (!parse_option(args, i, o)) return std::nullopt;
  }
  return o;
}

void command(const std::string& line, vdrawer::DrawerModel& model, drawer_server::Service& service) {
  const double t = service.now_ms();
  model.advance(t);
  if (line == "open") {
    model.open(t, "command");
  } else if (line == "close") {
    model.close(t, "command");
  } else if (line == "status") {
    char s[8];
    std::snprintf(s, sizeof s, "0x%02X", model.status());
    service.log(vdrawer::format_ms(t) + " status=" + s + (model.is_open() ? " open" : " closed"));
  } else if (!line.empty()) {
    std::cerr << "vdrawer: unknown command \"" << line << "\" (open, close, status)\n";
  }
}

int serve(const Options& o) {
  drawer_server::Service service;
  std::string error;
  if (!service.open_log(o.log, error)) {
    std::cerr << "vdrawer: " << error << "\n";
    return 1;
  }
  const std::string path = devctl::device_path(o.name);
  auto server = drawer_server::SocketServer::listen(path, o.mode, error);
  if (!server) {
    std::cerr << "vdrawer: " << error << "\n";
    return 1;
  }
  vdrawer::DrawerModel model(o.model);
  const auto flush_events = [&] {
    for (const auto& e : model.take_events()) service.log(vdrawer::event_line(e));
  };
  server->set_event_sink([&](const std::string& what, int id) {
    service.log(vdrawer::format_ms(service.now_ms()) + " " + what + " id=" + std::to_string(id));
  });
  const auto handler = [&](const devctl::frame::Request& r) {
    const double t = service.now_ms();
    const vdrawer::Outcome out = model.handle(r, t);
    flush_events();
    service.log(vdrawer::request_line(t, r, out));
    return drawer_server::Reply::framed(out.accepted, out.output);
  };
  drawer_server::Service::Hooks hooks;
  hooks.command = [&](const std::string& line) {
    command(line, model, service);
    flush_events();
  };
  hooks.tick = [&] {
    model.advance(service.now_ms());
    flush_events();
  };
  hooks.deadline = [&] { return model.next_deadline(); };
  const char* family = o.model.family != nullptr ? o.model.family->library : "any";
  service.log(vdrawer::format_ms(service.now_ms()) + " ready path=" + path + " family=" + family);
  const int sig = service.run(*server, handler, hooks);
  service.log(vdrawer::format_ms(service.now_ms()) + " stop signal=" + std::to_string(sig));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (const auto status = cli::respond(args, "vdrawer", std::string(kUsage) + "\n" + kHelp)) return *status;
  const auto options = parse(args);
  if (!options) {
    std::cerr << kUsage;
    return 2;
  }
  return serve(*options);
}
