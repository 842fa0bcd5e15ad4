// vcom: a virtual serial port for trying the suite's programs without the
// device. It creates a pseudo-terminal pair, points $PINK_COMn at its slave
// side and shows every byte that the program sends to the port.
//
//   vcom COM3 [--hex] [--out FILE] -- PROGRAM [ARGS...]
//       runs PROGRAM with $PINK_COM3 set, captures what arrives on the port
//       until the program ends (and a short quiet time after), prints the
//       capture and ends with the program's exit status.
//   vcom COM3 [--hex] [--out FILE] --listen
//       prints the port's device path on the first line, then shows what
//       arrives until interrupted (SIGINT or SIGTERM).
//
// The capture is printed on standard output: printable text as is, every
// other byte (and "<" itself) as <hh>, with a line break after each <0a>;
// --hex prints a hex dump instead. --out FILE receives the raw bytes. The
// program shares vcom's standard input, output and error. Interrupted while
// the program runs, vcom prints what it captured so far and stops the program.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/help.h"
#include "platform/serial.h"
#include "tools/testkit/capture.h"
#include "tools/testkit/vport.h"

namespace {

constexpr char kHex[] = "0123456789abcdef";

std::string hex_byte(unsigned char b) { return {kHex[b >> 4], kHex[b & 0x0F]}; }

// Turns captured bytes into printable text, piece by piece as they arrive.
class Printer {
 public:
  explicit Printer(bool hex) : hex_(hex) {}

  // Text for the bytes; in hex mode only the complete 16-byte lines.
  std::string feed(const std::string& bytes) {
    std::string out;
    for (const char c : bytes) {
      const auto b = static_cast<unsigned char>(c);
      if (hex_) {
        line_.push_back(b);
        if (line_.size() == 16) out += flush_line();
      } else if (b >= 0x20 && b < 0x7F && b != '<') {
        out += c;
        at_line_start_ = false;
      } else {
        out += "<" + hex_byte(b) + ">";
        at_line_start_ = b == 0x0A;
        if (at_line_start_) out += '\n';
      }
    }
    return out;
  }

  // Whatever is left at the end.
  std::string finish() {
    if (hex_) return line_.empty() ? std::string() : flush_line();
    return at_line_start_ ? std::string() : std::string("\n");
  }

 private:
  std::string flush_line() {
    char offset[16];
    std::snprintf(offset, sizeof offset, "%08zx", offset_);
    std::string out = offset;
    out += "  ";
    std::string ascii;
    for (std::size_t i = 0; i < 16; ++i) {
      if (i == 8) out += ' ';
      if (i < line_.size()) {
        out += hex_byte(line_[i]) + " ";
        ascii += (line_[i] >= 0x20 && line_[i] < 0x7F) ? static_cast<char>(line_[i]) : '.';
      } else {
        out += "   ";
      }
    }
    out += " |" + ascii + "|\n";
    offset_ += line_.size();
    line_.clear();
    return out;
  }

  bool hex_;
  bool at_line_start_ = true;
  std::vector<unsigned char> line_;
  std::size_t offset_ = 0;
};

constexpr pink::cli::Help kHelp{
    "vcom",
    "COMn [--hex] [--out FILE] -- PROGRAM [ARGS...]\n"
    "COMn [--hex] [--out FILE] --listen\n"
    "--help | --version",
    "A virtual serial port: a pseudo-terminal pair whose slave side PINK_COMn\n"
    "points at. With -- PROGRAM it runs PROGRAM, captures what arrives on the\n"
    "port until the program ends and prints it; with --listen it prints the\n"
    "port's device path on the first line, then what arrives until SIGINT or\n"
    "SIGTERM. Printable text shows as is, other bytes (and \"<\") as <hh>;\n"
    "--hex prints a hex dump instead; --out FILE also saves the raw bytes.",
    "PINK_COMn  set for PROGRAM to the port's device path",
    "FILE       the raw capture (--out), replaced",
    "PROGRAM's status with -- PROGRAM (1 when FILE cannot be written)\n"
    "0  after --listen\n"
    "1  the port cannot be made\n"
    "2  bad usage",
};

int usage() {
  std::cerr << "usage: vcom COMn [--hex] [--out FILE] -- PROGRAM [ARGS...]\n"
               "       vcom COMn [--hex] [--out FILE] --listen\n";
  return 2;
}

bool save(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (const auto status = pink::cli::respond(args, kHelp)) return *status;
  if (args.empty()) return usage();
  const int com = pink::serial::port_number(args[0]);
  if (com == 0) {
    std::cerr << "vcom: not a port name: " << args[0] << "\n";
    return usage();
  }
  bool hex = false;
  bool listen = false;
  std::optional<std::string> out_file;
  std::vector<std::string> command;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--hex") {
      hex = true;
    } else if (args[i] == "--listen") {
      listen = true;
    } else if (args[i] == "--out" && i + 1 < args.size()) {
      out_file = args[++i];
    } else if (args[i] == "--") {
      command.assign(args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    } else {
      std::cerr << "vcom: unknown option " << args[i] << "\n";
      return usage();
    }
  }
  if (listen == !command.empty()) return usage();

  try {
    pink::testkit::VirtualPort port(com);
    Printer printer(hex);
    std::string capture;
    int status = 0;

    pink::testkit::catch_stop_signals();
    if (listen) {
      std::cout << port.slave_path() << std::endl;
      capture = pink::testkit::capture_until_stopped(
          port, [&](const std::string& piece) { std::cout << printer.feed(piece) << std::flush; });
      std::cout << printer.finish() << std::flush;
    } else {
      std::cout.flush();
      // Interrupted, the capture holds what came so far and the program is stopped.
      auto captured = pink::testkit::capture_program(port, command);
      capture = std::move(captured.bytes);
      status = captured.status;
      std::cout << printer.feed(capture) << printer.finish() << std::flush;
      std::cerr << "vcom: " << capture.size() << " bytes on " << port.name() << "\n";
    }

    if (out_file && !save(*out_file, capture)) {
      std::cerr << "vcom: cannot write " << *out_file << "\n";
      return status != 0 ? status : 1;
    }
    return status;
  } catch (const std::exception& e) {
    std::cerr << "vcom: " << e.what() << "\n";
    return 1;
  }
}
