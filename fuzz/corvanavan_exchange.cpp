// The network link's exchanges over a transport whose every answer comes
// from the fuzzer's bytes: the connection result, the SSL handle, each
// wait, each received block and each send result. Whatever the network
// does, an exchange ends (the script runs dry into an expired wait), returns
// one of its codes or the length of the last response it handed over,
// closes the link exactly once when it was up, and hands over exactly the
// bytes the transport received.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <string>
#include <vector>

#include "fuzz/check.h"
#include "payment/corvanavan/exchange.h"
#include "payment/corvanavan/tracelog.h"

using namespace pink::corvanavan;

namespace {

class ScriptedTransport final : public Transport {
 public:
  explicit ScriptedTransport(FuzzedDataProvider& script) : script_(script) {}

  int sock_connect(const char*, int) override {
    const int handle = script_.ConsumeIntegralInRange<int>(-2, 40);
    sock_ = handle;
    return handle;
  }
  int ssl_startup(int* sock) override { return start(sock); }
  int ssl_start_client(int* sock) override { return start(sock); }
  int select_timeout(int sock, int) override {
    FUZZ_CHECK(sock == sock_);
    return script_.ConsumeIntegralInRange<int>(-1, 2);
  }
  int recv_data(int ssl, char* buffer, int size) override {
    FUZZ_CHECK(ssl == ssl_ && ssl != 0 && size > 0);
    const int wanted = script_.ConsumeIntegralInRange<int>(-1, 64);
    if (wanted <= 0) return wanted;
    // A short block is taken as it comes; a long one is the given bytes
    // repeated up to a length the script picks (up to the whole buffer).
    std::string block = script_.ConsumeBytesAsString(static_cast<std::size_t>(wanted));
    if (block.empty()) return 0;
    if (wanted == 64) {
      const auto total = script_.ConsumeIntegralInRange<std::size_t>(64, static_cast<std::size_t>(size));
      while (block.size() < total) block += block.substr(0, total - block.size());
    }
    const int n = static_cast<int>(std::min(block.size(), static_cast<std::size_t>(size)));
    std::memcpy(buffer, block.data(), static_cast<std::size_t>(n));
    received.assign(block.data(), static_cast<std::size_t>(n));
    return n;
  }
  int send_data(int ssl, const char* data, int length) override {
    FUZZ_CHECK(ssl == ssl_ && ssl != 0 && length >= 0);
    sent.emplace_back(data, static_cast<std::size_t>(length));
    return script_.ConsumeBool() ? length : -1;
  }
  int close(int ssl, int sock) override {
    FUZZ_CHECK(ssl == ssl_ && sock == sock_);
    ++closes;
    return 1;
  }

  bool up() const noexcept { return sock_ >= 0 && ssl_ != 0; }

  std::string received;             // the last block received
  std::vector<std::string> sent;    // every send, in order
  int closes = 0;

 private:
  int start(int* sock) {
    FUZZ_CHECK(sock != nullptr && *sock == sock_ && sock_ >= 0);
    ssl_ = script_.ConsumeIntegralInRange<int>(0, 3);
    return ssl_;
  }

  FuzzedDataProvider& script_;
  int sock_ = 0;
  int ssl_ = 0;
};

// Records what the exchange hands over and passes it to the caller's buffer.
class RecordingSink final : public ResponseSink {
 public:
  explicit RecordingSink(char* buffer) : buffer_(buffer) {}
  void response(std::span<const char> block) override {
    FUZZ_CHECK(block.size() >= static_cast<std::size_t>(kResponseThreshold));
    FUZZ_CHECK(block.size() <= static_cast<std::size_t>(kBlockSize));
    last.assign(block.data(), block.size());
    ++responses;
    buffer_.response(block);
  }
  void abandoned() override {
    ++abandons;
    buffer_.abandoned();
  }
  std::string last;
  int responses = 0;
  int abandons = 0;

 private:
  BufferSink buffer_;
};

// The exchange's trace lines: each a formatted line that fits the trace's
// message buffer.
class CheckedTrace final : public TraceSink {
 public:
  void message(std::string_view text) override {
    FUZZ_CHECK(!text.empty() && text.size() < trace::kMessageBufferSize);
    FUZZ_CHECK(text.front() == '#');
    ++lines;
  }
  int lines = 0;
};

void whole_exchange(FuzzedDataProvider& script, const std::string& request, bool four) {
  ScriptedTransport t(script);
  std::vector<char> buffer(kBlockSize, '\x55');
  RecordingSink sink(buffer.data());
  Link link;
  ExchangeRequest r;
  r.ip = "10.0.0.1";
  r.port = 9000;
  r.request = request.c_str();
  r.length = static_cast<int>(request.size());
  r.wait = 45;
  r.four_byte_controls = four;
  CheckedTrace trace;
  const int code = run_exchange(t, link, r, sink, script.ConsumeBool() ? &trace : nullptr);

  FUZZ_CHECK(code >= kWaitExpired && code != 0);
  FUZZ_CHECK(code < 0 || (code >= kResponseThreshold && code <= kBlockSize));
  // The link was up once the SSL session started; then it is closed once.
  FUZZ_CHECK(t.closes == (t.up() ? 1 : 0));
  if (t.up()) FUZZ_CHECK(link.sock == 0 && link.ssl == 0);
  if (!t.up()) FUZZ_CHECK(code == kConnectFailed || code == kSslFailed);
  // Abandoned exactly on the failures after the link was up.
  FUZZ_CHECK(sink.abandons == (code <= kRequestSendFailed ? 1 : 0));
  if (code > 0) {
    FUZZ_CHECK(sink.responses > 0 && static_cast<int>(sink.last.size()) == code);
    FUZZ_CHECK(std::memcmp(buffer.data(), sink.last.data(), sink.last.size()) == 0);
  }
  // EOT before any response reads as a failed connection.
  if (code == kConnectFailed && t.up()) FUZZ_CHECK(sink.responses == 0);
  if (sink.abandons == 1) FUZZ_CHECK(buffer[0] == 0 && buffer[3] == 0);
  // Every send is the request, an ACK or an EM, in the form asked for.
  const std::string ack(four ? 4 : 1, '\x06');
  const std::string em(four ? 4 : 1, '\x19');
  for (const std::string& s : t.sent) FUZZ_CHECK(s == request || s == ack || s == em);
}

void plain_exchange(FuzzedDataProvider& script, const std::string& request) {
  ScriptedTransport t(script);
  std::vector<char> response(kBlockSize, '\x55');
  Link link;
  const int code = run_plain_exchange(t, link, "10.0.0.1", 9000, request.c_str(),
                                      static_cast<int>(request.size()), response.data());
  FUZZ_CHECK(code >= kPlainWaitExpired && code != 0 && code <= kBlockSize);
  if (code > 0) {
    FUZZ_CHECK(t.received.size() == static_cast<std::size_t>(code));
    FUZZ_CHECK(std::memcmp(response.data(), t.received.data(), t.received.size()) == 0);
  }
  FUZZ_CHECK(t.closes == (t.up() ? 1 : 0));
  if (t.up()) FUZZ_CHECK(link.sock == 0 && link.ssl == 0);
  if (code <= kRequestSendFailed) FUZZ_CHECK(response[0] == 0 && response[3] == 0);
}

void step_by_step(FuzzedDataProvider& script, const std::string& request) {
  ScriptedTransport t(script);
  Link link;
  if (server_connect(t, link, "10.0.0.1", 9000) != 1) return;
  std::vector<char> buffer(kStepReceiveSize + 1, '\x55');
  for (int i = 0; i < 4 && script.remaining_bytes() > 0; ++i) {
    (void)server_send_data(t, link, request.c_str(), static_cast<int>(request.size()));
    const int n = server_receive_data(t, link, buffer.data(), 45);
    FUZZ_CHECK(n <= kStepReceiveSize);
    if (n > 0) {
      FUZZ_CHECK(buffer[static_cast<std::size_t>(n)] == '\0');
      FUZZ_CHECK(std::memcmp(buffer.data(), t.received.data(), static_cast<std::size_t>(n)) == 0);
    }
  }
  FUZZ_CHECK(server_close(t, link) == 1 && t.closes == 1 && link.sock == 0 && link.ssl == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider script(data, size);
  const int which = script.ConsumeIntegralInRange<int>(0, 3);
  const std::string request = script.ConsumeRandomLengthString(64);
  switch (which) {
    case 0:
    case 1:
      whole_exchange(script, request, which == 1);
      break;
    case 2:
      plain_exchange(script, request);
      break;
    default:
      step_by_step(script, request);
      break;
  }
  return 0;
}
