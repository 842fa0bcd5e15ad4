// The platform's TLS client session (platform/tls.h) on its own, for the
// tests of the Windows build: it connects to a loopback port, runs the
// handshake with the options of its command line and then the steps of
// steps.h ("wait" in milliseconds).
//
//   tls_session.exe PORT [ca=FILE] [address=A.B.C.D] [name=HOST] [protocol] STEPS...
//
// The first line is "connected" or "refused <reason>"; "protocol" prints
// "protocol <negotiated protocol>". Exit status 0 when every step ran, 1
// when the connection was refused, 2 on a bad command line.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/socket.h"
#include "platform/tls.h"
#include "tests/win/tls/steps.h"

namespace pink::wintls {
namespace {

class SessionLink final : public Link {
 public:
  explicit SessionLink(std::unique_ptr<tls::Session> s) : s_(std::move(s)) {}
  int wait(int ms) override { return s_->wait_readable(static_cast<std::uint32_t>(ms)); }
  int recv(char* buf, int size) override {
    return static_cast<int>(s_->recv(std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(buf),
                                                             static_cast<std::size_t>(size))));
  }
  int send(const char* data, int size) override {
    return static_cast<int>(s_->send(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(data),
                                                                   static_cast<std::size_t>(size))));
  }
  int close() override {
    s_->close();
    return 0;
  }
  int pattern_wait() const override { return 20000; }
  std::string protocol() const { return s_->protocol(); }

 private:
  std::unique_ptr<tls::Session> s_;
};

// The options given as key=value words, from args[1] on; the index of the
// first step.
std::size_t read_options(const std::vector<std::string>& args, tls::ClientOptions& o) {
  o.peer_address = "127.0.0.1";
  std::size_t at = 1;
  for (; at < args.size(); ++at) {
    const std::string& a = args[at];
    const std::size_t eq = a.find('=');
    if (eq == std::string::npos) break;
    const std::string key = a.substr(0, eq), value = a.substr(eq + 1);
    if (key == "ca") o.ca_file = value;
    if (key == "address") o.peer_address = value;
    if (key == "name") o.peer_name = value;
  }
  return at;
}

}  // namespace
}  // namespace pink::wintls

int main(int argc, char** argv) {
  using namespace pink;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fprintf(stderr, "usage: tls_session PORT [ca=FILE] [address=A] [name=HOST] STEPS...\n");
    return 2;
  }
  int major = 0, minor = 0;
  net::startup(major, minor);
  tls::ClientOptions options;
  const std::size_t first_step = wintls::read_options(args, options);
  auto socket = net::connect("127.0.0.1", static_cast<std::uint16_t>(std::atoi(args[0].c_str())), 10000);
  if (!socket) {
    wintls::print("refused " + socket.why());
    return 1;
  }
  auto session = tls::connect(std::move(*socket), options);
  if (!session) {
    wintls::print("refused " + session.why());
    return 1;
  }
  wintls::print("connected");
  wintls::SessionLink link(std::move(*session));
  const bool ok = wintls::run_steps(link, args, first_step, [&](const std::vector<std::string>& a, std::size_t at) {
    if (a[at] != "protocol") return std::size_t{0};
    wintls::print("protocol " + link.protocol());
    return at + 1;
  });
  return ok ? 0 : 2;
}
