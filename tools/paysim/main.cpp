// paysim: a payment network simulator for integrators and tests. A TLS
// server that plays the network's side of the payment exchange for every
// connection (ENQ, request, response, ACK, EOT), with scripted misbehaviour.
// The first line on standard output is "listening on <address>:<port>"; every
// step of every exchange follows as a log line. See README.md.
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "cli/help.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/tls_server.h"
#include "tools/paysim/engine.h"
#include "tools/paysim/options.h"

namespace {

using pink::paysim::Action;

void line(const std::string& text) { pink::console::out(text + "\n"); }

std::string stamp() {
  const auto t = pink::clock::now_local();
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", t.hour, t.minute, t.second, t.millisecond);
  return buf;
}

void log_line(std::uint64_t connection, const std::string& text) {
  line(stamp() + " [" + std::to_string(connection) + "] " + text);
}

int make_certs(const std::string& folder) {
  const auto pki = pink::tls::make_test_pki(pink::text::cp949_to_utf8(folder));
  if (!pki) {
    pink::console::err("paysim: " + pki.why() + "\n");
    return 2;
  }
  line("CA certificate (trust anchor for clients): " + pink::text::utf8_to_cp949(pki->ca_cert));
  line("server certificate: " + pink::text::utf8_to_cp949(pki->server_cert));
  line("server key: " + pink::text::utf8_to_cp949(pki->server_key));
  line("CA that signed nothing (for negative tests): " + pink::text::utf8_to_cp949(pki->other_ca_cert));
  return 0;
}

// Carries out the engine's actions; false once the link is gone.
bool apply(pink::tls::Session& session, std::uint64_t connection, const std::vector<Action>& actions) {
  for (const Action& a : actions) {
    switch (a.kind) {
      case Action::Kind::Log:
        log_line(connection, a.bytes);
        break;
      case Action::Kind::Send:
        if (session.send(a.bytes) != static_cast<long>(a.bytes.size())) {
          log_line(connection, "sending failed: the terminal is gone");
          return false;
        }
        break;
      case Action::Kind::Pause:
        pink::clock::sleep_ms(a.ms);
        break;
      case Action::Kind::Close:
        session.close();
        break;
    }
  }
  return true;
}

void serve(pink::tls::Session& session, std::uint64_t connection, const pink::paysim::Script& script) {
  log_line(connection, "connected (" + session.protocol() + ")");
  pink::paysim::Exchange exchange(script);
  bool up = apply(session, connection, exchange.start());
  std::vector<std::uint8_t> buf(4096);
  while (up && !exchange.done()) {
    const int ready = session.wait_readable(exchange.wait_ms());
    if (ready == 0) {
      up = apply(session, connection, exchange.on_idle());
      continue;
    }
    const long n = ready > 0 ? session.recv(buf) : -1;
    if (n <= 0) {
      up = apply(session, connection, exchange.on_closed());
    } else {
      up = apply(session, connection,
                 exchange.on_bytes(std::span<const std::uint8_t>(buf.data(), static_cast<std::size_t>(n))));
    }
  }
  session.close();
  log_line(connection, "done");
}

// The --help text: the usage forms, then what the simulator does.
std::string help_text() {
  return std::string(pink::paysim::kUsage) +
         "       paysim --help | --version\n"
         "\n"
         "Plays the card-payment network over TLS for corvana and CorvanaVAN: takes a\n"
         "connection, sends ENQ, reads the request, answers with the response (or the\n"
         "refusal, or the fault an option asks for) and ends the exchange with EOT.\n"
         "--cert and --key are the server's PEM certificate and key; --ca checks at\n"
         "start that the certificate verifies against that CA. --make-certs DIR\n"
         "writes a test authority and a server certificate for 127.0.0.1 and\n"
         "localhost into DIR. The first line printed is \"listening on <address>:<port>\";\n"
         "--port 0 picks a free port.\n"
         "The client trusts the simulator through PINK_TLS_CAFILE=DIR/ca.pem.\n"
         "\n"
         "Exit status:\n"
         "  0  the --connections were served, or the certificates were written\n"
         "  2  bad usage, a file that cannot be read, or no listening socket\n";
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = pink::console::arguments(argc, argv);
  if (const auto status = pink::cli::respond(args, "paysim", help_text())) return *status;
  std::string error;
  auto options = pink::paysim::parse_options(args, error);
  if (!options) {
    pink::console::err("paysim: " + error + "\n" + pink::paysim::kUsage);
    return 2;
  }
  if (options->help) {
    pink::console::out(help_text());
    return 0;
  }
  if (!options->make_certs_dir.empty()) return make_certs(options->make_certs_dir);

  pink::paysim::Script& script = options->script;
  if (!options->response_file.empty()) {
    constexpr std::uint64_t kMaxResponseFileBytes = 1024u * 1024u;  // a response is one record
    const auto file = pink::files::read_all(options->response_file, kMaxResponseFileBytes);
    if (file.status != pink::files::ReadStatus::Ok) {
      pink::console::err("paysim: cannot read the response file " + options->response_file + "\n");
      return 2;
    }
    script.response = file.bytes;
    const std::string problem = pink::paysim::check(script);
    if (!problem.empty()) {
      pink::console::err("paysim: " + problem + "\n");
      return 2;
    }
  }

  pink::tls::ServerOptions server_options;
  server_options.cert_file = pink::text::cp949_to_utf8(options->cert_file);
  server_options.key_file = pink::text::cp949_to_utf8(options->key_file);
  if (!options->ca_file.empty()) server_options.ca_file = pink::text::cp949_to_utf8(options->ca_file);
  server_options.address = options->host;
  server_options.port = options->port;
  auto server = pink::tls::listen(server_options);
  if (!server) {
    // A port already taken is the usual cause: say which, and how to choose another.
    pink::console::err("paysim: cannot listen on " + options->host + ":" + std::to_string(options->port) +
                       ": " + pink::text::utf8_to_cp949(server.why()) +
                       (options->port != 0 ? " (choose another port with --port N, or --port 0 for any free one)"
                                           : "") +
                       "\n");
    return 2;
  }
  line("listening on " + options->host + ":" + std::to_string(server->port()));

  for (std::uint64_t connection = 1; options->connections == 0 || connection <= options->connections;
       ++connection) {
    auto session = server->accept(pink::clock::kWaitForever);
    if (!session) {
      log_line(connection, "no session: " + pink::text::utf8_to_cp949(session.why()));
      pink::clock::sleep_ms(50);  // a failing listener must not spin
      continue;
    }
    serve(**session, connection, script);
  }
  return 0;
}
