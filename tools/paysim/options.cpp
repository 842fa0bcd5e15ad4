#include "tools/paysim/options.h"

#include <array>
#include <charconv>
#include <optional>
#include <string_view>

#include "platform/socket.h"
#include "tools/paysim/message.h"

namespace pink::paysim {

const char* const kUsage =
    "usage: paysim --cert FILE --key FILE [--ca FILE] [--host 127.0.0.1] [--port N]\n"
    "              [--connections N] [--response TEXT | --response-file FILE | --refusal]\n"
    "              [--second-response TEXT] [--request-length N] [--quiet-ms N] [--wait SECONDS]\n"
    "              [--nak | --silent | --nak-byte-as-response] [--short BLOCK] [--two-responses]\n"
    "              [--no-eot] [--close-early] [--enq-twice] [--ack4]\n"
    "       paysim --make-certs DIR\n";

namespace {

bool to_number(const std::string& text, std::uint64_t max, std::uint64_t& out) {
  std::uint64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty() || v > max) return false;
  out = v;
  return true;
}

// Options that only switch a behaviour of the script on.
struct Switch {
  std::string_view name;
  bool Script::*flag;
};

constexpr std::array kSwitches{
    Switch{"--nak", &Script::nak},
    Switch{"--silent", &Script::silent},
    Switch{"--two-responses", &Script::two_responses},
    Switch{"--no-eot", &Script::no_eot},
    Switch{"--nak-byte-as-response", &Script::nak_byte_as_response},
    Switch{"--close-early", &Script::close_early},
    Switch{"--enq-twice", &Script::enq_twice},
    Switch{"--ack4", &Script::ack4},
};

enum class Answer { Approval, Text, File, Refusal };

// The arguments read one after the other; a value is the next argument.
struct Reader {
  const std::vector<std::string>& args;
  std::string& error;
  std::size_t i = 0;

  bool value(std::string& into) {
    if (i + 1 >= args.size()) {
      error = args[i] + " needs a value";
      return false;
    }
    into = args[++i];
    return true;
  }
  bool number(std::uint64_t max, std::uint64_t& into) {
    const std::string& option = args[i];
    std::string text;
    if (!value(text)) return false;
    if (!to_number(text, max, into)) {
      error = option + " needs a number from 0 to " + std::to_string(max) + ", not \"" + text + "\"";
      return false;
    }
    return true;
  }
};

struct Parsed {
  Options o;
  Answer answer = Answer::Approval;
  int answer_options = 0;
};

// The options about where the simulator listens and with what identity.
// Nothing when the argument is none of them.
std::optional<bool> read_setup_option(Reader& r, const std::string& a, Options& o) {
  std::uint64_t n = 0;
  if (a == "--host") {
    if (!r.value(o.host)) return false;
    if (!net::parse_ipv4(o.host)) {
      r.error = "--host needs a dotted IPv4 address";
      return false;
    }
    return true;
  }
  if (a == "--port") {
    if (!r.number(65535, n)) return false;
    o.port = static_cast<std::uint16_t>(n);
    return true;
  }
  if (a == "--connections") return r.number(UINT32_MAX, o.connections);
  if (a == "--cert") return r.value(o.cert_file);
  if (a == "--key") return r.value(o.key_file);
  if (a == "--ca") return r.value(o.ca_file);
  if (a == "--make-certs") return r.value(o.make_certs_dir);
  return std::nullopt;
}

// The options about what the simulated network answers.
std::optional<bool> read_answer_option(Reader& r, const std::string& a, Parsed& p) {
  Script& script = p.o.script;
  std::uint64_t n = 0;
  if (a == "--response" || a == "--response-file" || a == "--refusal") {
    ++p.answer_options;
    p.answer = a == "--response" ? Answer::Text : a == "--refusal" ? Answer::Refusal : Answer::File;
    if (p.answer == Answer::Refusal) return true;
    return r.value(p.answer == Answer::Text ? script.response : p.o.response_file);
  }
  if (a == "--second-response") return r.value(script.second_response);
  if (a == "--request-length") {
    if (!r.number(1u << 20, n)) return false;
    script.request_length = static_cast<std::size_t>(n);
    return true;
  }
  if (a == "--quiet-ms") {
    if (!r.number(600000, n)) return false;
    script.quiet_ms = static_cast<std::uint32_t>(n);
    return true;
  }
  if (a == "--wait") {
    if (!r.number(86400, n)) return false;
    script.wait_ms = static_cast<std::uint32_t>(n * 1000);
    return true;
  }
  if (a == "--short") {
    if (!r.value(script.short_block)) return false;
    if (script.short_block.empty()) {
      r.error = "--short needs a block of 1 to 10 bytes";
      return false;
    }
    return true;
  }
  return std::nullopt;
}

bool read_option(Reader& r, Parsed& p) {
  const std::string& a = r.args[r.i];
  if (a == "--help" || a == "-h") {
    p.o.help = true;
    return true;
  }
  for (const Switch& s : kSwitches) {
    if (a == s.name) {
      p.o.script.*s.flag = true;
      return true;
    }
  }
  if (const auto ok = read_setup_option(r, a, p.o)) return *ok;
  if (const auto ok = read_answer_option(r, a, p)) return *ok;
  r.error = "unknown option \"" + a + "\"";
  return false;
}

// What the options say together: one answer at most, a certificate and key
// unless only a test set is made, and a script that holds together.
std::optional<Options> complete(Parsed& p, std::string& error) {
  Options& o = p.o;
  if (o.help) return o;
  if (p.answer_options > 1) {
    error = "choose one of --response, --response-file and --refusal";
    return std::nullopt;
  }
  if (!o.make_certs_dir.empty()) return o;
  if (o.cert_file.empty() || o.key_file.empty()) {
    error = "--cert and --key are needed (paysim --make-certs DIR writes a test set)";
    return std::nullopt;
  }
  if (p.answer == Answer::Approval) o.script.response = approval_response();
  if (p.answer == Answer::Refusal) o.script.response = refusal_response();
  // Answer::File: the shell reads the file; checked there.
  if (p.answer != Answer::File) {
    const std::string problem = check(o.script);
    if (!problem.empty()) {
      error = problem;
      return std::nullopt;
    }
  }
  return o;
}

}  // namespace

std::optional<Options> parse_options(const std::vector<std::string>& args, std::string& error) {
  Parsed p;
  Reader r{args, error};
  for (; r.i < args.size(); ++r.i) {
    if (!read_option(r, p)) return std::nullopt;
  }
  return complete(p, error);
}

}  // namespace pink::paysim
