#include "tools/padctl/options.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace pink::padctl {
namespace {

constexpr std::int64_t kDay = 24LL * 3600 * 1000;

std::nullopt_t refuse(std::string& error, std::string why) {
  error = std::move(why);
  return std::nullopt;
}

bool integer(std::string_view text, std::int64_t low, std::int64_t high, std::int64_t& out) {
  std::int64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < low || v > high) return false;
  out = v;
  return true;
}

std::optional<std::pair<int, int>> parse_size(std::string_view text) {
  const auto x = text.find('x');
  std::int64_t w = 0, h = 0;
  if (x == std::string_view::npos || !integer(text.substr(0, x), 1, 4096, w) ||
      !integer(text.substr(x + 1), 1, 4096, h)) {
    return std::nullopt;
  }
  return std::pair{static_cast<int>(w), static_cast<int>(h)};
}

// One option with its value; an error text or "".
std::string take(Options& o, const std::string& name, const std::string& value) {
  std::int64_t n = 0;
  if (name == "--port") {
    if (!integer(value, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max(), n)) {
      return "--port takes a port number";
    }
    o.port = static_cast<int>(n);
  } else if (name == "--baud") {
    if (!integer(value, 1, std::numeric_limits<std::int32_t>::max(), n)) return "--baud takes a speed";
    o.baud = static_cast<std::int32_t>(n);
  } else if (name == "--timeout") {
    if (!integer(value, 1, kDay, n)) return "--timeout takes milliseconds";
    o.timeout_ms = static_cast<std::uint32_t>(n);
  } else if (name == "--len") {
    if (!integer(value, 1, 99, n)) return "--len takes a PIN length from 1 to 99";
    o.pin_len = static_cast<int>(n);
  } else if (name == "--size") {
    o.size = parse_size(value);
    if (!o.size) return "--size takes WIDTHxHEIGHT, each 1 to 4096";
  } else if (name == "--bmp" || name == "--snapshot" || name == "--log") {
    if (value.empty()) return name + " takes a name";
    (name == "--bmp" ? o.bmp : name == "--snapshot" ? o.snapshot : o.log_dir) = value;
  } else if (const Action* a = find_action(*o.family, name.substr(2))) {
    if (!integer(value, 0, kDay, n)) return name + " takes milliseconds";
    o.timed.push_back({a, static_cast<std::uint32_t>(n)});
  } else {
    return "unknown option " + name;
  }
  return "";
}

// What the family and the command do not take; an error text or "".
std::string check(const Options& o) {
  const Command& c = *o.command;
  const int given = static_cast<int>(o.args.size());
  if (given < c.min_args || given > c.max_args) {
    return std::string(o.family->name) + " " + std::string(c.name) + " takes " +
           (c.usage.empty() ? std::string("no arguments") : std::string(c.usage));
  }
  if (o.baud && !o.family->takes_baud) return std::string(o.family->name) + " takes no --baud";
  if (!o.log_dir.empty() && o.family->logs == Family::Logs::None) {
    return std::string(o.family->name) + " keeps no logs (--log)";
  }
  if (!o.bmp.empty() && !c.takes_bmp) return std::string(c.name) + " writes no bitmap (--bmp)";
  if (o.pin_len && !c.takes_len) return std::string(c.name) + " takes no --len";
  for (const Timed& t : o.timed) {
    if (std::find(c.actions.begin(), c.actions.end(), t.action->name) == c.actions.end()) {
      return std::string(c.name) + " takes no --" + std::string(t.action->name);
    }
  }
  if (o.snapshot.empty() && o.size) return "--size goes with --snapshot";
  return "";
}

// "  name args" then the help, its words wrapped under a column of their own.
std::string help_row(std::string head, std::string_view help) {
  constexpr std::size_t kColumn = 36, kWidth = 79;
  std::string out;
  if (head.size() + 1 > kColumn) {
    out = head + "\n";
    head.clear();
  }
  head.resize(kColumn, ' ');
  std::string line = head;
  std::size_t at = 0;
  while (at < help.size()) {
    const std::size_t space = help.find(' ', at);
    const std::string_view word = help.substr(at, space == std::string_view::npos ? help.npos : space - at);
    if (line.size() > kColumn && line.size() + 1 + word.size() > kWidth) {
      out += line + "\n";
      line = std::string(kColumn, ' ');
    }
    line += (line.size() > kColumn ? " " : "") + std::string(word);
    at = space == std::string_view::npos ? help.size() : space + 1;
  }
  return out + line + "\n";
}

}  // namespace

std::optional<Options> parse_options(const std::vector<std::string>& args, std::string& error) {
  Options o;
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    o.help = true;
    return o;
  }
  if (args.empty()) return refuse(error, "FAMILY and COMMAND are needed");
  o.family = find_family(args[0]);
  if (o.family == nullptr) return refuse(error, "unknown pad family " + args[0] + " (tallypad, stylpad or quillpad)");
  std::vector<std::string> words;
  bool options_end = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_end || a.rfind("--", 0) != 0) {
      words.push_back(a);
    } else if (a == "--") {
      options_end = true;
    } else if (a == "--help") {
      o.help = true;
      return o;
    } else {
      if (i + 1 >= args.size()) return refuse(error, a + " needs a value");
      if (error = take(o, a, args[++i]); !error.empty()) return std::nullopt;
    }
  }
  if (words.empty()) return refuse(error, "no COMMAND given");
  o.command = find_command(*o.family, words[0]);
  if (o.command == nullptr) return refuse(error, "unknown " + std::string(o.family->name) + " command " + words[0]);
  o.args.assign(words.begin() + 1, words.end());
  if (error = check(o); !error.empty()) return std::nullopt;
  return o;
}

std::string usage(const Family* only) {
  std::string u =
      "usage: padctl FAMILY [--port N] [--baud N] COMMAND ARGS... [--bmp FILE] [--timeout MS]\n"
      "              [--snapshot FILE.png [--size WxH]] [--log DIR] [--len N] [--ACTION MS]...\n"
      "       padctl [FAMILY] --help\n"
      "       padctl --version\n"
      "\n"
      "Drives a signature pad control (created by its ProgID through libpinkauto) on\n"
      "port COMn (--port, default 1; $PINK_COMn names its device): runs COMMAND,\n"
      "prints every call with its result and every event as it fires, then the\n"
      "job's results. Actions are the host's buttons during a job: typed on standard\n"
      "input, or --ACTION MS to press it MS milliseconds after the job started.\n"
      "\n"
      "  --bmp FILE         the signature bitmap (sign commands)\n"
      "  --timeout MS       how long to wait for the job's end (default 60000)\n"
      "  --snapshot FILE    the control's window as a PNG at the end (--size, 256x128)\n"
      "  --log DIR          stylpad: its comm and result logs; quillpad: its day log\n"
      "                     (DIR/QUILL)\n"
      "  --len N            stylpad pin: the PIN length (default 4)\n"
      "  --baud N           tallypad, quillpad: the port's speed\n";
  for (const Family& f : families()) {
    if (only != nullptr && only != &f) continue;
    u += "\n" + std::string(f.name) + " (" + std::string(f.progid) + ") commands:\n";
    for (const Command& c : f.commands) {
      u += help_row("  " + std::string(c.name) + (c.usage.empty() ? "" : " " + std::string(c.usage)), c.help);
    }
    for (const Action& a : f.actions) u += help_row("  action " + std::string(a.name), a.help);
  }
  u += "\nExit status: 0 when the job ended as asked, 1 when it failed or timed out,\n"
       "2 on bad usage.\n";
  return u;
}

}  // namespace pink::padctl
