// vprinter: the virtual receipt printer. It takes what a program sends to a
// receipt printer, reads it the way the printer would, and shows the result:
// a transcript (one line per command, the text lines as they print), the
// raw capture and the printed pictures as PNG files.
//
//   vprinter COMn [--out DIR] -- PROGRAM [ARGS...]
//       runs PROGRAM with $PINK_COMn pointing at a virtual serial port,
//       captures until it ends (and a short quiet time after), and ends
//       with the program's exit status.
//   vprinter COMn [--out DIR] --listen
//       prints the port's device path on the first line, captures until
//       SIGINT or SIGTERM.
//   vprinter --tcp [--port N] [--once] [--out DIR]
//       a network printer on 127.0.0.1 (port 9100; 0 picks a free one),
//       prints "127.0.0.1:PORT" on the first line, one transcript per
//       connection (--once: only the first), until SIGINT or SIGTERM.
//   vprinter --decode FILE [--out DIR]
//       decodes a raw capture, such as what a parallel-port job wrote
//       through $PINK_LPT1.
//
// The transcript goes to standard output and, with the capture and the
// pictures, into DIR (default "vprinter-out" in the current folder):
// DIR/transcript.txt, DIR/capture.bin, DIR/image-N.png. With --tcp and
// without --once, connection N writes into DIR/job-N. Status: the program's
// in the first form, else 0; 1 when the port, listener, file or output
// folder fails; 2 with a usage line on bad usage.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/serial.h"
#include "platform/socket.h"
#include "tools/testkit/capture.h"
#include "tools/testkit/vport.h"
#include "tools/vprinter/png.h"
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
};

int usage() {
  std::cerr << "usage: vprinter COMn [--out DIR] -- PROGRAM [ARGS...]\n"
               "       vprinter COMn [--out DIR] --listen\n"
               "       vprinter --tcp [--port N] [--once] [--out DIR]\n"
               "       vprinter --decode FILE [--out DIR]\n";
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

// Writes the capture, the transcript and the pictures into `dir` (created
// when missing). Pictures of an earlier run in the folder are removed first,
// so that every image-N.png there belongs to this printout.
bool save(const fs::path& dir, const std::string& capture, const Printout& p, std::string& error) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec || !fs::is_directory(dir)) {
    error = "cannot make the folder " + dir.string();
    return false;
  }
  static const std::regex kPictureName("image-[0-9]+\\.png");
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
  return true;
}

// Decodes the capture, shows the transcript and saves the files. False when
// the files could not be saved.
bool report(const std::string& capture, const fs::path& dir, const std::string& source) {
  const Printout p = pink::vprinter::print(
      {reinterpret_cast<const std::uint8_t*>(capture.data()), capture.size()});
  std::cout << p.transcript << std::flush;
  std::string error;
  if (!save(dir, capture, p, error)) {
    std::cerr << "vprinter: " << error << "\n";
    return false;
  }
  std::cerr << "vprinter: " << capture.size() << " bytes from " << source << ", "
            << p.pictures.size() << (p.pictures.size() == 1 ? " picture" : " pictures") << " -> "
            << dir.string() << "\n";
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
  std::string error;
  const auto listener = pink::net::listen("127.0.0.1", o.port, &error);
  if (!listener) {
    std::cerr << "vprinter: cannot listen on 127.0.0.1:" << o.port << ": " << error << "\n";
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
    if (!report(capture, dir, "connection " + std::to_string(n))) return 1;
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
      return report(bytes.str(), o.out, o.file) ? 0 : 1;
    }
    case Mode::Tcp:
      return serve_tcp(o);
    case Mode::Listen: {
      pink::testkit::VirtualPort port(o.com);
      pink::testkit::catch_stop_signals();
      std::cout << port.slave_path() << std::endl;
      const std::string capture = pink::testkit::capture_until_stopped(port);
      return report(capture, o.out, port.name()) ? 0 : 1;
    }
    case Mode::Program: {
      pink::testkit::VirtualPort port(o.com);
      pink::testkit::catch_stop_signals();
      std::cout.flush();
      const auto captured = pink::testkit::capture_program(port, o.command);
      if (!report(captured.bytes, o.out, port.name())) return captured.status != 0 ? captured.status : 1;
      return captured.status;
    }
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const auto options = parse(std::vector<std::string>(argv + 1, argv + argc));
  if (!options) return usage();
  try {
    return run(*options);
  } catch (const std::exception& e) {
    std::cerr << "vprinter: " << e.what() << "\n";
    return 1;
  }
}
