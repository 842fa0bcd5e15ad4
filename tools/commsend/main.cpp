// commsend: sends text to a serial port through the serial control, the way
// the suite's programs do.
//
//   commsend [--settings 9600,n,8,1] COMn [TEXT...]
//
// The words of TEXT go out joined by single blanks, as cp949 text (the
// suite's text encoding), with nothing added; with no TEXT, the bytes of
// standard input go out as they are. On failure the control's failure
// number and text are printed on standard error and the status is 2.
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/help.h"
#include "platform/comm.h"
#include "platform/console.h"
#include "platform/failure.h"
#include "platform/serial.h"

namespace {

constexpr pink::cli::Help kHelp{
    "commsend",
    "[--settings 9600,n,8,1] COMn [TEXT...]\n--help | --version",
    "Sends text to serial port COMn through the serial control, the way the\n"
    "suite's programs do: the words of TEXT joined by single blanks, as cp949\n"
    "text, with nothing added; with no TEXT, the bytes of standard input.\n"
    "--settings gives the line as speed,parity,data bits,stop bits.",
    "PINK_COMn  the device of COMn (default /dev/ttyS(n-1))",
    "",
    "0  sent\n"
    "1  bad usage\n"
    "2  the port failed: its failure number and text on standard error",
};

int usage() {
  pink::console::err("usage: commsend [--settings 9600,n,8,1] COMn [TEXT...]\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = pink::console::arguments(argc, argv);
  if (const auto status = pink::cli::respond(args, kHelp)) return *status;
  std::string settings = "9600,n,8,1";
  std::size_t i = 0;
  while (i < args.size() && args[i].rfind("--", 0) == 0) {
    if (args[i] == "--settings" && i + 1 < args.size()) {
      settings = args[i + 1];
      i += 2;
    } else if (args[i] == "--") {
      ++i;
      break;
    } else {
      return usage();
    }
  }
  if (i >= args.size()) return usage();
  const int port = pink::serial::port_number(args[i]);
  if (port == 0) {
    pink::console::err("commsend: not a port name: " + args[i] + "\n");
    return usage();
  }
  ++i;

  std::string text;
  if (i < args.size()) {
    for (std::size_t k = i; k < args.size(); ++k) {
      if (k > i) text += ' ';
      text += args[k];
    }
  } else {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }

  try {
    pink::comm::CommControl comm;
    comm.set_comm_port(port);
    comm.set_settings(settings);
    comm.set_port_open(true);
    comm.output(text);
    comm.set_port_open(false);
  } catch (const pink::Failure& f) {
    pink::console::err("commsend: " + std::to_string(f.number()) + " " + f.full_text() + "\n");
    return 2;
  } catch (const std::exception& e) {
    pink::console::err(std::string("commsend: ") + e.what() + "\n");
    return 2;
  }
  return 0;
}
