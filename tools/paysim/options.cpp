#include "tools/paysim/options.h"

#include <charconv>

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

}  // namespace

std::optional<Options> parse_options(const std::vector<std::string>& args, std::string& error) {
  Options o;
  enum class Answer { Approval, Text, File, Refusal } answer = Answer::Approval;
  int answer_options = 0;

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    // Options that take a value.
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      into = args[++i];
      return true;
    };
    auto number = [&](std::uint64_t max, std::uint64_t& into) {
      std::string text;
      if (!value(text)) return false;
      if (!to_number(text, max, into)) {
        error = a + " needs a number from 0 to " + std::to_string(max) + ", not \"" + text + "\"";
        return false;
      }
      return true;
    };
    std::uint64_t n = 0;
    bool ok = true;
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--host") {
      ok = value(o.host);
      if (ok && !net::parse_ipv4(o.host)) {
        error = "--host needs a dotted IPv4 address";
        ok = false;
      }
    } else if (a == "--port") {
      ok = number(65535, n);
      o.port = static_cast<std::uint16_t>(n);
    } else if (a == "--connections") {
      ok = number(UINT32_MAX, o.connections);
    } else if (a == "--cert") {
      ok = value(o.cert_file);
    } else if (a == "--key") {
      ok = value(o.key_file);
    } else if (a == "--ca") {
      ok = value(o.ca_file);
    } else if (a == "--make-certs") {
      ok = value(o.make_certs_dir);
    } else if (a == "--response") {
      ok = value(o.script.response);
      answer = Answer::Text;
      ++answer_options;
    } else if (a == "--response-file") {
      ok = value(o.response_file);
      answer = Answer::File;
      ++answer_options;
    } else if (a == "--refusal") {
      answer = Answer::Refusal;
      ++answer_options;
    } else if (a == "--second-response") {
      ok = value(o.script.second_response);
    } else if (a == "--request-length") {
      ok = number(1u << 20, n);
      o.script.request_length = static_cast<std::size_t>(n);
    } else if (a == "--quiet-ms") {
      ok = number(600000, n);
      o.script.quiet_ms = static_cast<std::uint32_t>(n);
    } else if (a == "--wait") {
      ok = number(86400, n);
      o.script.wait_ms = static_cast<std::uint32_t>(n * 1000);
    } else if (a == "--short") {
      ok = value(o.script.short_block);
      if (ok && o.script.short_block.empty()) {
        error = "--short needs a block of 1 to 10 bytes";
        ok = false;
      }
    } else if (a == "--nak") {
      o.script.nak = true;
    } else if (a == "--silent") {
      o.script.silent = true;
    } else if (a == "--two-responses") {
      o.script.two_responses = true;
    } else if (a == "--no-eot") {
      o.script.no_eot = true;
    } else if (a == "--nak-byte-as-response") {
      o.script.nak_byte_as_response = true;
    } else if (a == "--close-early") {
      o.script.close_early = true;
    } else if (a == "--enq-twice") {
      o.script.enq_twice = true;
    } else if (a == "--ack4") {
      o.script.ack4 = true;
    } else {
      error = "unknown option \"" + a + "\"";
      ok = false;
    }
    if (!ok) return std::nullopt;
  }

  if (o.help) return o;
  if (answer_options > 1) {
    error = "choose one of --response, --response-file and --refusal";
    return std::nullopt;
  }
  if (!o.make_certs_dir.empty()) return o;
  if (o.cert_file.empty() || o.key_file.empty()) {
    error = "--cert and --key are needed (paysim --make-certs DIR writes a test set)";
    return std::nullopt;
  }
  if (answer == Answer::Approval) o.script.response = approval_response();
  if (answer == Answer::Refusal) o.script.response = refusal_response();
  // Answer::File: the shell reads the file; checked there.
  if (answer != Answer::File) {
    const std::string problem = check(o.script);
    if (!problem.empty()) {
      error = problem;
      return std::nullopt;
    }
  }
  return o;
}

}  // namespace pink::paysim
