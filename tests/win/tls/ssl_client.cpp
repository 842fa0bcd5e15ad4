// A caller of ssllib32.dll for the tests of the Windows build: it loads the
// library by name (beside itself first, as the payment library does), binds
// its seven calls and runs the steps of its command line (steps.h), with
// these of its own:
//   names                every call under its plain and its decorated name, at one address
//                                              -> "names ok" | "names differ: <calls>"
//   connect IP PORT      sock_connect          -> "connect <socket handle or failure>"
//   start | client       SSL_StartUp / SSL_StartClient on the socket handle
//                                              -> "start <ssl handle>" | "client <ssl handle>"
//   badcalls             every call with bad handles and arguments -> "badcalls <results>"
// "wait" is SSL_SelectTimeOut in seconds, "close" SSL_Close with both handles.
//
//   ssl_client.exe names connect 127.0.0.1 4433 start wait 10 recv 4096 send "AB\x06" close
//
// Exit status 0 when every step ran, 2 on a bad command line or a library
// that cannot be bound.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/dynlib.h"
#include "platform/export.h"
#include "tests/win/tls/steps.h"

namespace pink::wintls {
namespace {

using SockConnect = int(PINK_CALL*)(const char*, int);
using SslStart = int(PINK_CALL*)(int*);
using SslSelect = int(PINK_CALL*)(int, int);
using SslRecv = int(PINK_CALL*)(int, char*, int);
using SslSend = int(PINK_CALL*)(int, const char*, int);
using SslClose = int(PINK_CALL*)(int, int);

struct Export {
  const char* plain;
  const char* decorated;
};

constexpr Export kExports[] = {
    {"sock_connect", "_sock_connect@8"},       {"SSL_StartUp", "_SSL_StartUp@4"},
    {"SSL_StartClient", "_SSL_StartClient@4"}, {"SSL_SelectTimeOut", "_SSL_SelectTimeOut@8"},
    {"SSL_RecvData", "_SSL_RecvData@12"},      {"SSL_SendData", "_SSL_SendData@12"},
    {"SSL_Close", "_SSL_Close@8"},
};

class Ssllib32Link final : public Link {
 public:
  explicit Ssllib32Link(const dynlib::Library& lib) : lib_(lib) {
    sock_connect_ = lib.function<SockConnect>("sock_connect");
    startup_ = lib.function<SslStart>("SSL_StartUp");
    start_client_ = lib.function<SslStart>("SSL_StartClient");
    select_ = lib.function<SslSelect>("SSL_SelectTimeOut");
    recv_ = lib.function<SslRecv>("SSL_RecvData");
    send_ = lib.function<SslSend>("SSL_SendData");
    close_ = lib.function<SslClose>("SSL_Close");
  }
  bool bound() const {
    return sock_connect_ && startup_ && start_client_ && select_ && recv_ && send_ && close_;
  }

  int wait(int seconds) override { return select_(sock_, seconds); }
  int recv(char* buf, int size) override { return recv_(ssl_, buf, size); }
  int send(const char* data, int size) override { return send_(ssl_, data, size); }
  int close() override { return close_(ssl_, sock_); }
  int pattern_wait() const override { return 20; }

  // The steps of this program; the index after the step, or 0.
  std::size_t step(const std::vector<std::string>& args, std::size_t at);

 private:
  void names();
  void badcalls();

  const dynlib::Library& lib_;
  SockConnect sock_connect_ = nullptr;
  SslStart startup_ = nullptr;
  SslStart start_client_ = nullptr;
  SslSelect select_ = nullptr;
  SslRecv recv_ = nullptr;
  SslSend send_ = nullptr;
  SslClose close_ = nullptr;
  int sock_ = 0;
  int ssl_ = 0;
};

void Ssllib32Link::names() {
  std::string differ;
  for (const auto& e : kExports) {
    void* plain = lib_.symbol(e.plain);
    if (plain == nullptr || lib_.symbol(e.decorated) != plain) {
      differ += ' ';
      differ += e.plain;
    }
  }
  print(differ.empty() ? std::string("names ok") : "names differ:" + differ);
}

void Ssllib32Link::badcalls() {
  int bad = 4242;
  char buf[16];
  const int results[] = {
      sock_connect_(nullptr, 443),     sock_connect_("localhost", 443), sock_connect_("127.0.0.1", 0),
      sock_connect_("127.0.0.1", 65536), startup_(nullptr),             start_client_(&bad),
      select_(bad, 0),                 recv_(bad, buf, 16),             send_(bad, "x", 1),
      close_(bad, bad),
  };
  std::string line = "badcalls";
  for (int r : results) {
    line += ' ';
    line += std::to_string(r);
  }
  print(line);
}

std::size_t Ssllib32Link::step(const std::vector<std::string>& args, std::size_t at) {
  const std::string& s = args[at];
  if (s == "names") {
    names();
  } else if (s == "badcalls") {
    badcalls();
  } else if (s == "start" || s == "client") {
    ssl_ = (s == "start" ? startup_ : start_client_)(&sock_);
    print(s.c_str(), ssl_);
  } else if (s == "connect" && at + 2 < args.size()) {
    sock_ = sock_connect_(args[at + 1].c_str(), std::atoi(args[at + 2].c_str()));
    print("connect", sock_);
    return at + 3;
  } else {
    return 0;
  }
  return at + 1;
}

}  // namespace
}  // namespace pink::wintls

int main(int argc, char** argv) {
  using namespace pink;
  auto lib = dynlib::load("ssllib32");
  if (!lib) {
    std::fprintf(stderr, "ssl_client: cannot load ssllib32: %s\n", lib.why().c_str());
    return 2;
  }
  wintls::Ssllib32Link link(**lib);
  if (!link.bound()) {
    std::fprintf(stderr, "ssl_client: %s lacks a call\n", lib->path().c_str());
    return 2;
  }
  const std::vector<std::string> args(argv + 1, argv + argc);
  const bool ok = wintls::run_steps(link, args, 0, [&](const std::vector<std::string>& a, std::size_t at) {
    return link.step(a, at);
  });
  return ok ? 0 : 2;
}
