// The payment link's TLS library, as the terminal waits on it: one whole
// exchange (connect, verified handshake, ENQ, request, response, ACK, EOT,
// close) against a loopback network on OpenSSL, through libssllib32.so on
// Linux and through ssllib32.dll (SChannel) under Wine, where the figure also
// holds the start of the Windows process that makes the calls. Plus the
// round trip of one request on an open session.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "pink/ssllib32.h"
#include "platform/tls_server.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/wine.h"

namespace pink {
namespace {

constexpr std::string_view kRequest = "AB0200123456004A09A";
const std::string kResponse(136, 'R');

// The value of a set-up step; a benchmark cannot run without it.
template <typename T>
T must(Result<T> step, const char* what) {
  if (!step) {
    std::fprintf(stderr, "tls_bench: %s: %s\n", what, step.why().c_str());
    std::exit(2);
  }
  return std::move(*step);
}

std::string read_some(tls::Session& s, std::size_t want) {
  std::string got, buf(4096, '\0');
  while (got.size() < want && s.wait_readable(10000) == 1) {
    const long n = s.recv(std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(buf.data()), buf.size()));
    if (n <= 0) break;
    got.append(buf.data(), static_cast<std::size_t>(n));
  }
  return got;
}

// A network that plays the exchange for every connection until stopped.
class Network {
 public:
  Network() {
    pki_ = must(tls::make_test_pki(dir_.path()), "test PKI");
    tls::ServerOptions o;
    o.cert_file = pki_.server_cert;
    o.key_file = pki_.server_key;
    server_ = must(tls::listen(o), "listen");
    thread_ = std::thread([this] { serve(); });
  }
  ~Network() {
    stop_ = true;
    thread_.join();
  }
  std::uint16_t port() const { return server_->port(); }
  const std::string& ca() const { return pki_.ca_cert; }

 private:
  void serve() {
    while (!stop_) {
      auto accepted = server_->accept(200);
      if (!accepted) continue;
      tls::Session& s = **accepted;
      s.send(std::string_view("\x05"));
      if (read_some(s, kRequest.size()).size() != kRequest.size()) continue;
      s.send(kResponse);
      if (read_some(s, 1) == "\x06") s.send(std::string_view("\x04"));
      read_some(s, 1);  // until the terminal closes
    }
  }

  testkit::TempDir dir_;
  tls::TestPki pki_;
  std::unique_ptr<tls::Server> server_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

int receive(int sock, int ssl, char* buf) { return SSL_SelectTimeOut(sock, 10) > 0 ? SSL_RecvData(ssl, buf, 4096) : -1; }

void BM_WholeExchangeThroughLibssllib32(benchmark::State& state) {
  Network net;
  testkit::ScopedEnv ca("PINK_TLS_CAFILE", net.ca());
  char buf[4096];
  for (auto _ : state) {
    int sock = sock_connect("127.0.0.1", net.port());
    const int ssl = SSL_StartUp(&sock);
    bool ok = ssl != 0 && receive(sock, ssl, buf) == 1;
    ok = ok && SSL_SendData(ssl, kRequest.data(), static_cast<int>(kRequest.size())) > 0;
    ok = ok && receive(sock, ssl, buf) == static_cast<int>(kResponse.size());
    ok = ok && SSL_SendData(ssl, "\x06", 1) == 1 && receive(sock, ssl, buf) == 1;
    SSL_Close(ssl, sock);
    if (!ok) state.SkipWithError("the exchange failed");
  }
}
BENCHMARK(BM_WholeExchangeThroughLibssllib32)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WholeExchangeThroughSsllib32DllUnderWine(benchmark::State& state) {
  std::string why;
  if (!testkit::Wine::available(&why)) {
    state.SkipWithError(why.c_str());
    return;
  }
  Network net;
  auto& wine = testkit::Wine::shared();
  testkit::RunOptions o;
  o.env["PINK_TLS_CAFILE"] = testkit::Wine::windows_path(net.ca());
  o.timeout_ms = 60000;
  const std::vector<std::string> steps{"connect", "127.0.0.1", std::to_string(net.port()), "start", "wait", "10",
                                       "recv", "4096", "send", std::string(kRequest), "wait", "10", "recv", "4096",
                                       "send", "\\x06", "wait", "10", "recv", "4096", "close"};
  for (auto _ : state) {
    const auto r = wine.run(wine.program("ssl_client.exe"), steps, o);
    if (r.exit_code != 0 || r.out.find("recv 1 \\x04") == std::string::npos) state.SkipWithError("the exchange failed");
  }
}
BENCHMARK(BM_WholeExchangeThroughSsllib32DllUnderWine)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// Only Wine's start of a Windows process, for reading the figure above.
void BM_StartOfAWindowsProcessUnderWine(benchmark::State& state) {
  std::string why;
  if (!testkit::Wine::available(&why)) {
    state.SkipWithError(why.c_str());
    return;
  }
  auto& wine = testkit::Wine::shared();
  for (auto _ : state) {
    if (wine.run(wine.program("ssl_client.exe"), {"names"}).exit_code != 0) state.SkipWithError("no start");
  }
}
BENCHMARK(BM_StartOfAWindowsProcessUnderWine)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

void BM_RequestRoundTripOnAnOpenSession(benchmark::State& state) {
  testkit::TempDir dir;
  const auto pki = must(tls::make_test_pki(dir.path()), "test PKI");
  tls::ServerOptions so;
  so.cert_file = pki.server_cert;
  so.key_file = pki.server_key;
  auto server = must(tls::listen(so), "listen");
  std::thread echo([&] {
    auto s = server->accept(10000);
    while (s && s->wait_readable(10000) == 1) {
      std::string got = read_some(**s, 1);
      if (got.empty()) break;
      s->send(got);
    }
  });
  testkit::ScopedEnv ca("PINK_TLS_CAFILE", pki.ca_cert);
  int sock = sock_connect("127.0.0.1", server->port());
  const int ssl = SSL_StartUp(&sock);
  char buf[4096];
  for (auto _ : state) {
    if (SSL_SendData(ssl, kRequest.data(), static_cast<int>(kRequest.size())) < 0) state.SkipWithError("send");
    int got = 0;
    while (got < static_cast<int>(kRequest.size())) {
      const int n = receive(sock, ssl, buf);
      if (n <= 0) break;
      got += n;
    }
  }
  SSL_Close(ssl, sock);
  echo.join();
}
BENCHMARK(BM_RequestRoundTripOnAnOpenSession)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace pink

BENCHMARK_MAIN();
