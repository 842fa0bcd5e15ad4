// vdisplay: the virtual customer display pole. It takes what a program sends
// to the display over a serial port, reads it the way the display does, and
// shows the transcript of the commands and the two rows as the customer sees
// them.
//
//   vdisplay COMn [--width N | --graphic] [--out FILE] -- PROGRAM [ARGS...]
//   vdisplay COMn [--width N | --graphic] [--out FILE] --listen
//   vdisplay --decode FILE [--width N | --graphic]
//   vdisplay --help
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/help.h"
#include "platform/serial.h"
#include "tools/testkit/capture.h"
#include "tools/testkit/vport.h"
#include "tools/vdisplay/screen.h"

namespace {

using pink::vdisplay::Screen;

enum class Mode { Program, Listen, Decode, Help };

struct Options {
  Mode mode = Mode::Program;
  int com = 0;
  std::size_t width = pink::vdisplay::kDefaultWidth;
  std::optional<std::string> out;
  std::string file;
  std::vector<std::string> command;
};

constexpr const char* kUsage =
    "usage: vdisplay COMn [--width N | --graphic] [--out FILE] -- PROGRAM [ARGS...]\n"
    "       vdisplay COMn [--width N | --graphic] [--out FILE] --listen\n"
    "       vdisplay --decode FILE [--width N | --graphic]\n"
    "       vdisplay --help | --version\n";

constexpr const char* kHelp =
    "\n"
    "A customer display pole on a virtual serial port. It reads the bytes a\n"
    "program sends to the display (the drivers ldisp, ldisp2, gdisp and the\n"
    "program pds), prints one transcript line per command or run of text, and\n"
    "then the display's two rows as the customer sees them (Korean as Korean).\n"
    "\n"
    "  -- PROGRAM ARGS  run PROGRAM with $PINK_COMn set to the virtual port; show\n"
    "                   what it sent once it has ended (and the port is quiet)\n"
    "  --listen         print the port's device path on the first line, then show\n"
    "                   what arrives, piece by piece, until SIGINT or SIGTERM\n"
    "  --decode FILE    show a capture file (such as one written with --out)\n"
    "  --width N        columns per row, 2..80 (default 20)\n"
    "  --graphic        32 columns, the text rows of a graphic display\n"
    "  --out FILE       also write the bytes as received into FILE\n"
    "\n"
    "Exit status: the program's own in the first form (127 when it cannot be\n"
    "started), else 0; 1 when the port or a file fails; 2 on bad usage.\n"
    "See tools/vdisplay/README.md for what each command does on this display.\n";

int usage() {
  std::cerr << kUsage;
  return 2;
}

std::optional<std::size_t> width_value(const std::string& text) {
  if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  const std::size_t v = std::stoul(text);
  if (v < pink::vdisplay::kMinWidth || v > pink::vdisplay::kMaxWidth) return std::nullopt;
  return v;
}

std::optional<Options> parse(const std::vector<std::string>& args) {
  if (args.empty()) return std::nullopt;
  Options o;
  std::size_t i = 1;
  if (args[0] == "--help") {
    o.mode = Mode::Help;
    return o;
  }
  if (args[0] == "--decode" && args.size() > 1) {
    o.mode = Mode::Decode;
    o.file = args[1];
    i = 2;
  } else if ((o.com = pink::serial::port_number(args[0])) == 0) {
    return std::nullopt;
  }
  bool listen = false;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool has_value = i + 1 < args.size();
    if (a == "--width" && has_value) {
      const auto w = width_value(args[++i]);
      if (!w) return std::nullopt;
      o.width = *w;
    } else if (a == "--graphic") {
      o.width = pink::vdisplay::kGraphicWidth;
    } else if (o.com != 0 && a == "--out" && has_value) {
      o.out = args[++i];
    } else if (o.com != 0 && a == "--listen") {
      listen = true;
    } else if (o.com != 0 && a == "--" && has_value) {
      o.command.assign(args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    } else {
      return std::nullopt;
    }
  }
  if (o.com != 0) {
    if (listen == !o.command.empty()) return std::nullopt;
    o.mode = listen ? Mode::Listen : Mode::Program;
  }
  return o;
}

std::span<const std::uint8_t> bytes_of(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

void print_lines(const std::vector<std::string>& lines) {
  for (const auto& l : lines) std::cout << l << "\n";
}

bool save(const std::optional<std::string>& path, const std::string& bytes) {
  if (!path) return true;
  std::ofstream f(*path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (f) return true;
  std::cerr << "vdisplay: cannot write " << *path << "\n";
  return false;
}

int listen(const Options& o) {
  pink::testkit::VirtualPort port(o.com);
  pink::testkit::catch_stop_signals();
  std::cout << port.slave_path() << std::endl;
  Screen screen(o.width);
  const std::string capture = pink::testkit::capture_until_stopped(port, [&](const std::string& piece) {
    print_lines(screen.feed(bytes_of(piece)));
    std::cout << pink::vdisplay::framed(screen) << std::flush;
  });
  print_lines(screen.finish());
  std::cout << pink::vdisplay::framed(screen) << std::flush;
  std::cerr << "vdisplay: " << capture.size() << " bytes on " << port.name() << "\n";
  return save(o.out, capture) ? 0 : 1;
}

int run(const Options& o) {
  switch (o.mode) {
    case Mode::Help:
      std::cout << kUsage << kHelp;
      return 0;
    case Mode::Decode: {
      std::ifstream f(o.file, std::ios::binary);
      std::ostringstream bytes;
      bytes << f.rdbuf();
      if (!f) {
        std::cerr << "vdisplay: cannot read " << o.file << "\n";
        return 1;
      }
      std::cout << pink::vdisplay::show(bytes_of(bytes.str()), o.width) << std::flush;
      return 0;
    }
    case Mode::Listen:
      return listen(o);
    case Mode::Program: {
      pink::testkit::VirtualPort port(o.com);
      pink::testkit::catch_stop_signals();
      std::cout.flush();
      const auto captured = pink::testkit::capture_program(port, o.command);
      std::cout << pink::vdisplay::show(bytes_of(captured.bytes), o.width) << std::flush;
      std::cerr << "vdisplay: " << captured.bytes.size() << " bytes on " << port.name() << "\n";
      if (!save(o.out, captured.bytes)) return captured.status != 0 ? captured.status : 1;
      return captured.status;
    }
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (const auto status = pink::cli::respond(args, "vdisplay", std::string(kUsage) + kHelp)) return *status;
  const auto options = parse(args);
  if (!options) return usage();
  try {
    return run(*options);
  } catch (const std::exception& e) {
    std::cerr << "vdisplay: " << e.what() << "\n";
    return 1;
  }
}
