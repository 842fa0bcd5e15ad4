// vprinter: the virtual receipt printer. It takes what a program sends to a
// receipt printer, reads it the way the printer would, and shows the result:
// a transcript (one line per command, the text lines as they print), the
// raw capture, the printed pictures as PNG files and a picture of the whole
// printed paper. Usage, files and exit statuses: kHelp below.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/help.h"
#include "platform/serial.h"
#include "platform/socket.h"
#include "tools/testkit/capture.h"
#include "tools/testkit/vport.h"
#include "tools/vprinter/font.h"
#include "tools/vprinter/png.h"
#include "tools/vprinter/render.h"
#include "tools/vprinter/transcript.h"

namespace {

namespace fs = std::filesystem;
using pink::vprinter::Printout;

enum class Mode { Program, Listen, Tcp, Decode };

struct Options {
  Mode mode = Mode::Program;
  int com = 0;
  fs::path out = "vprinter-out";
  std::vector<std::string> command;
  std::uint16_t port = 9100;
  bool once = false;
  std::string file;
  std::uint32_t paper = pink::vprinter::kPaper80Dots;
  bool picture = true;
};

constexpr const char* kUsage =
    "usage: vprinter COMn [OPTIONS] -- PROGRAM [ARGS...]\n"
    "       vprinter COMn [OPTIONS] --listen\n"
    "       vprinter --tcp [--port N] [--once] [OPTIONS]\n"
    "       vprinter --decode FILE [OPTIONS]\n"
    "       vprinter --help | --version\n";

constexpr const char* kHelp =
    "\n"
    "The virtual receipt printer: reads what a program sends to a receipt printer\n"
    "the way the printer does and shows what would come out.\n"
    "\n"
    "  COMn -- PROGRAM ...  runs PROGRAM with $PINK_COMn set to a new virtual serial\n"
    "                       port and captures until it ends and the port is quiet\n"
    "  COMn --listen        makes the virtual port, prints its path on the first line,\n"
    "                       captures until SIGINT or SIGTERM\n"
    "  --tcp                a network printer on 127.0.0.1 (--port N, default 9100;\n"
    "                       0 picks a free port; prints 127.0.0.1:PORT first); one job\n"
    "                       per connection, into DIR/job-N; --once: the first only\n"
    "  --decode FILE        decodes a capture file (for example $PINK_LPT1's)\n"
    "\n"
    "Options:\n"
    "  --out DIR            where the files go (default: vprinter-out)\n"
    "  --paper 80|58        paper width in mm: 576 or 384 dots across (default 80)\n"
    "  --no-picture         no paper.png (and no font needed)\n"
    "\n"
    "The transcript goes to standard output; DIR receives transcript.txt,\n"
    "capture.bin, image-N.png (each printed bit image) and paper.png: the whole\n"
    "printed paper of the job, text, bar codes and pictures, each cut a dashed\n"
    "line. Standard error tells the byte and picture counts and what did not\n"
    "print and why.\n"
    "\n"
    "Configuration:\n"
    "  PINK_VPRINTER_FONT   the font file for paper.png; else fontconfig's\n"
    "                       NanumGothicCoding, else\n"
    "                       /usr/share/fonts/truetype/nanum/NanumGothicCoding.ttf\n"
    "\n"
    "Exit status: with PROGRAM, the program's own (127 when it cannot start,\n"
    "128 + signal when vprinter is interrupted); otherwise 0. 1 when the port,\n"
    "the listener, the capture file, the output folder or the font fails (a\n"
    "missing font is found before anything runs); 2 on bad usage.\n";

int usage() {
  std::cerr << kUsage;
  return 2;
}

std::optional<std::uint16_t> port_value(const std::string& text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  const unsigned long v = std::stoul(text);
  if (v > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(v);
}

std::optional<Options> parse(const std::vector<std::string>& args) {
  if (args.empty()) return std::nullopt;
  Options o;
  std::size_t i = 1;
  if (args[0] == "--tcp") {
    o.mode = Mode::Tcp;
  } else if (args[0] == "--decode" && args.size() > 1) {
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
    if (a == "--out" && has_value) {
      o.out = args[++i];
    } else if (a == "--paper" && has_value) {
      const std::string mm = args[++i];
      if (mm != "80" && mm != "58") return std::nullopt;
      o.paper = mm == "80" ? pink::vprinter::kPaper80Dots : pink::vprinter::kPaper58Dots;
    } else if (a == "--no-picture") {
      o.picture = false;
    } else if (o.mode == Mode::Tcp && a == "--port" && has_value) {
      const auto port = port_value(args[++i]);
      if (!port) return std::nullopt;
      o.port = *port;
    } else if (o.mode == Mode::Tcp && a == "--once") {
      o.once = true;
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

bool write_file(const fs::path& path, const void* data, std::size_t size) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(f);
}

// The font of paper.png; null with --no-picture.
pink::vprinter::GlyphSource* g_glyphs = nullptr;

// Writes the capture, the transcript, the pictures and the paper into `dir`
// (created when missing). Pictures of an earlier run in the folder are
// removed first, so that every image-N.png and paper.png there belongs to
// this printout.
bool save(const fs::path& dir, const std::string& capture, const Printout& p,
          const pink::vprinter::Paper* paper, std::string& error) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec || !fs::is_directory(dir)) {
    error = "cannot make the folder " + dir.string();
    return false;
  }
  static const std::regex kPictureName("image-[0-9]+\\.png|paper\\.png");
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    if (std::regex_match(entry.path().filename().string(), kPictureName)) fs::remove(entry.path(), ec);
  }
  const auto write = [&](const std::string& name, const void* data, std::size_t size) {
    if (write_file(dir / name, data, size)) return true;
    error = "cannot write " + (dir / name).string();
    return false;
  };
  if (!write("capture.bin", capture.data(), capture.size()) ||
      !write("transcript.txt", p.transcript.data(), p.transcript.size())) {
    return false;
  }
  for (const auto& picture : p.pictures) {
    const auto png = pink::vprinter::encode_png(picture.bitmap);
    if (!write(picture.file_name, png.data(), png.size())) return false;
  }
  if (paper != nullptr && paper->bitmap.height > 0) {
    const auto png = pink::vprinter::encode_png(paper->bitmap);
    if (png.empty() || !write("paper.png", png.data(), png.size())) return false;
  }
  return true;
}

// Decodes the capture, shows the transcript and saves the files. False when
// the files could not be saved.
bool report(const std::string& capture, const fs::path& dir, const std::string& source, const Options& o) {
  const Printout p = pink::vprinter::print(
      {reinterpret_cast<const std::uint8_t*>(capture.data()), capture.size()});
  std::cout << p.transcript << std::flush;
  std::optional<pink::vprinter::Paper> paper;
  if (g_glyphs != nullptr) paper = pink::vprinter::render_paper(p.events, *g_glyphs, o.paper);
  std::string error;
  if (!save(dir, capture, p, paper ? &*paper : nullptr, error)) {
    std::cerr << "vprinter: " << error << "\n";
    return false;
  }
  std::cerr << "vprinter: " << capture.size() << " bytes from " << source << ", "
            << p.pictures.size() << (p.pictures.size() == 1 ? " picture" : " pictures");
  if (paper && paper->bitmap.height > 0) {
    std::cerr << ", paper.png " << paper->bitmap.width << " x " << paper->bitmap.height << " dots";
  } else if (paper) {
    std::cerr << ", nothing printed on the paper";
  }
  std::cerr << " -> " << dir.string() << "\n";
  if (paper) {
    for (const auto& note : paper->notes) std::cerr << "vprinter: paper: " << note << "\n";
  }
  return true;
}

// What the peer sends until it closes the connection (or a stop signal).
std::string receive_all(pink::net::Socket& socket) {
  std::string out;
  std::vector<std::uint8_t> buf(4096);
  while (pink::testkit::stop_signal() == 0) {
    const int ready = socket.wait_readable(200);
    if (ready == 0) continue;
    if (ready < 0) break;
    const long n = socket.recv(buf);
    if (n <= 0) break;
    out.append(reinterpret_cast<const char*>(buf.data()), static_cast<std::size_t>(n));
  }
  return out;
}

int serve_tcp(const Options& o) {
  const auto listener = pink::net::listen("127.0.0.1", o.port);
  if (!listener) {
    std::cerr << "vprinter: cannot listen on 127.0.0.1:" << o.port << ": " << listener.why() << "\n";
    return 1;
  }
  pink::testkit::catch_stop_signals();
  std::cout << "127.0.0.1:" << listener->port() << std::endl;
  for (int n = 1; pink::testkit::stop_signal() == 0;) {
    const auto socket = listener->accept(200);
    if (!socket) continue;
    const std::string capture = receive_all(*socket);
    const fs::path dir = o.once ? o.out : o.out / ("job-" + std::to_string(n));
    std::cout << "== connection " << n << "\n";
    if (!report(capture, dir, "connection " + std::to_string(n), o)) return 1;
    if (o.once) break;
    ++n;
  }
  return 0;
}

int run(const Options& o) {
  switch (o.mode) {
    case Mode::Decode: {
      std::ifstream f(o.file, std::ios::binary);
      std::ostringstream bytes;
      bytes << f.rdbuf();
      if (!f) {
        std::cerr << "vprinter: cannot read " << o.file << "\n";
        return 1;
      }
      return report(bytes.str(), o.out, o.file, o) ? 0 : 1;
    }
    case Mode::Tcp:
      return serve_tcp(o);
    case Mode::Listen: {
      pink::testkit::VirtualPort port(o.com);
      pink::testkit::catch_stop_signals();
      std::cout << port.slave_path() << std::endl;
      const std::string capture = pink::testkit::capture_until_stopped(port);
      return report(capture, o.out, port.name(), o) ? 0 : 1;
    }
    case Mode::Program: {
      pink::testkit::VirtualPort port(o.com);
      pink::testkit::catch_stop_signals();
      std::cout.flush();
      const auto captured = pink::testkit::capture_program(port, o.command);
      if (!report(captured.bytes, o.out, port.name(), o)) return captured.status != 0 ? captured.status : 1;
      return captured.status;
    }
  }
  return 1;
}

// Loads the printer's font before anything runs, so that a missing font
// fails at once and no job is run or captured in vain.
bool load_font(std::unique_ptr<pink::vprinter::FontGlyphs>& font) {
  std::string error;
  const std::string path = pink::vprinter::find_printer_font(error);
  if (!path.empty()) font = pink::vprinter::FontGlyphs::open(path, error);
  if (!font) {
    std::cerr << "vprinter: " << error << " (--no-picture does without the picture)\n";
    return false;
  }
  g_glyphs = font.get();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (const auto status = pink::cli::respond(args, "vprinter", std::string(kUsage) + kHelp)) return *status;
  const auto options = parse(args);
  if (!options) return usage();
  try {
    std::unique_ptr<pink::vprinter::FontGlyphs> font;
    if (options->picture && !load_font(font)) return 1;
    return run(*options);
  } catch (const std::exception& e) {
    std::cerr << "vprinter: " << e.what() << "\n";
    return 1;
  }
}
