#include "tools/vpad/options.h"

#include <algorithm>
#include <charconv>

#include "platform/serial.h"
#include "platform/text.h"

namespace pink::vpad {

const char* const kUsage =
    "usage: vpad FAMILY COMn [options] -- PROGRAM [ARGS...]\n"
    "       vpad FAMILY COMn [options] --listen\n"
    "       vpad --help | --version\n"
    "\n"
    "A signature pad of FAMILY (tallypad, stylpad or quillpad) on a virtual\n"
    "serial port COMn (a pseudo-terminal pair). It answers the control's\n"
    "requests as the family's pad does, signs, sends PINs, customer information\n"
    "and card reader answers, and logs every frame both ways, one line each:\n"
    "  HH:MM:SS.mmm rx 02 00 04 A0 30 37 03 A0    what the control sent\n"
    "  HH:MM:SS.mmm tx 02 00 04 06 ...            what the pad sent\n"
    "Operator actions are read from standard input, one per line (\"help\" lists\n"
    "the family's actions; \"quit\" ends vpad).\n"
    "\n"
    "  -- PROGRAM ...         runs PROGRAM with $PINK_COMn set to the port and\n"
    "                         standard input from /dev/null; vpad ends with it\n"
    "                         and with its exit status\n"
    "  --listen               prints the port's device path on the first line and\n"
    "                         runs until SIGINT, SIGTERM or \"quit\"\n"
    "  --init answer|silent|esc   how the pad answers an init request (answer)\n"
    "  --signature sample|FILE.bmp the pen points: the built-in sample (default)\n"
    "                         or the ink of a 128 x 64 bitmap, traced in strokes\n"
    "  --pace MS              milliseconds between pen points (default 10)\n"
    "  --manual               do not sign on a sign request; type \"sign\"\n"
    "  --pin DIGITS           the PIN entered on the pad (default 1234)\n"
    "  --info TEXT            the customer information the pad reads\n"
    "  --card-answer HEX      the card reader's data (pairs of hex digits)\n"
    "  --log FILE             the frame log goes to FILE instead of standard output\n"
    "\n"
    "Exit status: PROGRAM's status; 0 after --listen; 1 when the port cannot\n"
    "be made; 2 on bad usage, a signature bitmap that cannot be read or a log\n"
    "that cannot be written.\n";

namespace {

bool number(std::string_view text, int low, int high, int& out) {
  int v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < low || v > high) return false;
  out = v;
  return true;
}

bool digits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

constexpr std::size_t kMostCardAnswer = 1024;
constexpr std::size_t kMostPin = 16;
constexpr int kMostPace = 60000;

// One option with its value; an error text or "".
std::string take(Options& o, const std::string& name, const std::string& value) {
  using Init = signpad::PadScript::Init;
  if (name == "--init") {
    if (value == "answer") o.script.init = Init::Answer;
    else if (value == "silent") o.script.init = Init::Silent;
    else if (value == "esc") o.script.init = Init::Esc;
    else return "--init takes answer, silent or esc";
  } else if (name == "--signature") {
    if (value.empty()) return "--signature takes sample or a bitmap file";
    o.signature = value;
  } else if (name == "--pace") {
    int ms = 0;
    if (!number(value, 0, kMostPace, ms)) return "--pace takes milliseconds from 0 to 60000";
    o.script.point_interval_ms = static_cast<std::uint32_t>(ms);
  } else if (name == "--pin") {
    if (!digits(value) || value.size() > kMostPin) return "--pin takes 1 to 16 digits";
    o.script.pin = value;
  } else if (name == "--info") {
    o.script.customer_info = text::utf8_to_cp949(value);
  } else if (name == "--card-answer") {
    auto bytes = parse_hex(value);
    if (!bytes || bytes->size() > kMostCardAnswer) return "--card-answer takes up to 1024 bytes as hex digits";
    o.script.card_answer = std::move(*bytes);
  } else if (name == "--log") {
    if (value.empty()) return "--log takes a file name";
    o.log_file = value;
  } else {
    return "unknown option " + name;
  }
  return "";
}

bool takes_value(std::string_view name) {
  static constexpr std::array<std::string_view, 7> kValued{"--init", "--signature", "--pace", "--pin",
                                                           "--info", "--card-answer", "--log"};
  return std::find(kValued.begin(), kValued.end(), name) != kValued.end();
}

std::nullopt_t refuse(std::string& error, std::string why) {
  error = std::move(why);
  return std::nullopt;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> parse_hex(std::string_view text) {
  std::vector<std::uint8_t> out;
  const auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    if (i + 1 >= text.size() || nibble(text[i]) < 0 || nibble(text[i + 1]) < 0) return std::nullopt;
    out.push_back(static_cast<std::uint8_t>(nibble(text[i]) << 4 | nibble(text[i + 1])));
    i += 2;
  }
  return out;
}

std::optional<Options> parse_options(const std::vector<std::string>& args, std::string& error) {
  Options o;
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    o.help = true;
    return o;
  }
  if (args.size() < 2) return refuse(error, "FAMILY and COMn are needed");
  if (std::find(kFamilies.begin(), kFamilies.end(), args[0]) == kFamilies.end()) {
    return refuse(error, "unknown pad family " + args[0] + " (tallypad, stylpad or quillpad)");
  }
  o.family = args[0];
  o.com = serial::port_number(args[1]);
  if (o.com == 0) return refuse(error, "not a port name: " + args[1]);
  for (std::size_t i = 2; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--") {
      o.command.assign(args.begin() + static_cast<long>(i) + 1, args.end());
      if (o.command.empty()) return refuse(error, "no PROGRAM after --");
      break;
    }
    if (a == "--listen") {
      o.listen = true;
    } else if (a == "--manual") {
      o.script.sign_automatically = false;
    } else if (takes_value(a)) {
      if (i + 1 >= args.size()) return refuse(error, a + " needs a value");
      if (error = take(o, a, args[++i]); !error.empty()) return std::nullopt;
    } else {
      return refuse(error, "unknown option " + a);
    }
  }
  if (o.listen == !o.command.empty()) return refuse(error, "give either --listen or -- PROGRAM");
  return o;
}

}  // namespace pink::vpad
