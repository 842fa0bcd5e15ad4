#include "tools/msgsim/options.h"

#include <charconv>

#include "platform/socket.h"

namespace pink::msgsim {

const char* const kUsage =
    "usage: msgsim [--host 127.0.0.1] [--port 7744] [--connections N] [--store DIR] [--quiet]\n"
    "              [--login-reply CODE] [--result CODE[,CODE...]] [--close-before-result]\n"
    "              [--stall login|result] [--short login|result] [--wait SECONDS]\n"
    "\n"
    "Plays the messaging provider on a TCP port: answers logins (\"1\" accepts) and\n"
    "messages (\"O\" accepts), and with --store keeps every message received in a\n"
    "folder of its own. --port 0 picks a free port; the first line printed is\n"
    "\"listening on <address>:<port>\". CODE is one character (E) or a byte (0xE0).\n"
    "\n"
    "  --host A.B.C.D         address to listen on (default 127.0.0.1)\n"
    "  --port N               port (default 7744; 0: any free port)\n"
    "  --connections N        serve N connections, then exit 0 (default: no limit)\n"
    "  --store DIR            keep each message in DIR/000001, DIR/000002 ...\n"
    "  --quiet                log only connections and errors, not every record\n"
    "  --login-reply CODE     the login reply byte (default 1: accepted)\n"
    "  --result CODES         result bytes of a connection's messages in order, the\n"
    "                         last one repeated (default O: accepted)\n"
    "  --close-before-result  close the connection after a message, without its result\n"
    "  --stall login|result   never answer the login / the messages; wait for the close\n"
    "  --short login|result   send half of the reply record there, then close\n"
    "  --wait SECONDS         how long to wait for the terminal's next record (default 60)\n"
    "  --help, --version      this text, the version\n"
    "\n"
    "Exit status:\n"
    "  0  the --connections were served\n"
    "  2  bad usage, or the port cannot be listened on\n";

namespace {

bool to_number(const std::string& text, std::uint64_t max, std::uint64_t& out) {
  std::uint64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v > max) return false;
  out = v;
  return true;
}

bool takes_value(const std::string& option) {
  for (const char* o : {"--host", "--port", "--connections", "--store", "--login-reply", "--result", "--stall",
                        "--short", "--wait"}) {
    if (option == o) return true;
  }
  return false;
}

std::optional<Point> parse_point(const std::string& text) {
  if (text == "login") return Point::Login;
  if (text == "result") return Point::Result;
  return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> parse_codes(const std::string& text) {
  std::vector<std::uint8_t> codes;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    const auto code = parse_code(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (!code) return std::nullopt;
    codes.push_back(*code);
    if (comma == std::string::npos) return codes;
    start = comma + 1;
  }
}

}  // namespace

std::optional<std::uint8_t> parse_code(const std::string& text) {
  if (text.size() == 1) return static_cast<std::uint8_t>(text[0]);
  if (text.size() == 4 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    unsigned v = 0;
    const auto [end, ec] = std::from_chars(text.data() + 2, text.data() + 4, v, 16);
    if (ec == std::errc() && end == text.data() + 4) return static_cast<std::uint8_t>(v);
  }
  return std::nullopt;
}

namespace {

// One option with its value; false (and the reason) when the value is bad.
bool apply_value(Options& o, const std::string& a, const std::string& v, std::string& error) {
  auto bad = [&](const std::string& what) {
    error = a + " needs " + what + ", not \"" + v + "\"";
    return false;
  };
  std::uint64_t n = 0;
  if (a == "--host") {
    if (!net::parse_ipv4(v)) return bad("a dotted IPv4 address");
    o.host = v;
  } else if (a == "--port") {
    if (!to_number(v, 65535, n)) return bad("a port from 0 to 65535");
    o.port = static_cast<std::uint16_t>(n);
  } else if (a == "--connections") {
    if (!to_number(v, UINT32_MAX, o.connections)) return bad("a number");
  } else if (a == "--store") {
    if (v.empty()) return bad("a folder");
    o.store = v;
  } else if (a == "--login-reply") {
    const auto code = parse_code(v);
    if (!code) return bad("one character or 0xNN");
    o.script.login_reply = *code;
  } else if (a == "--result") {
    auto codes = parse_codes(v);
    if (!codes) return bad("codes (one character or 0xNN each) separated by commas");
    o.script.results = std::move(*codes);
  } else if (a == "--stall" || a == "--short") {
    const auto point = parse_point(v);
    if (!point) return bad("login or result");
    (a == "--stall" ? o.script.stall : o.script.short_record) = *point;
  } else if (a == "--wait") {
    if (!to_number(v, 86400, n) || n == 0) return bad("seconds from 1 to 86400");
    o.script.wait_ms = static_cast<std::uint32_t>(n * 1000);
  }
  return true;
}

}  // namespace

std::optional<Options> parse_options(const std::vector<std::string>& args, std::string& error) {
  Options o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--quiet") {
      o.quiet = true;
    } else if (a == "--close-before-result") {
      o.script.close_before_result = true;
    } else if (!takes_value(a)) {
      error = "unknown option \"" + a + "\"";
      return std::nullopt;
    } else if (i + 1 >= args.size()) {
      error = a + " needs a value";
      return std::nullopt;
    } else if (!apply_value(o, a, args[++i], error)) {
      return std::nullopt;
    }
  }
  return o;
}

}  // namespace pink::msgsim
