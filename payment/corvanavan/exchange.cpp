#include "payment/corvanavan/exchange.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstring>

#include "payment/corvanavan/tracelog.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace pink::corvanavan {
namespace {

// The terminal's control blocks: one byte, or the same byte four times.
constexpr char kAck1[] = {static_cast<char>(kAck)};
constexpr char kEm1[] = {static_cast<char>(kEm)};
constexpr char kAck4[] = {static_cast<char>(kAck), static_cast<char>(kAck), static_cast<char>(kAck),
                          static_cast<char>(kAck)};
constexpr char kEm4[] = {static_cast<char>(kEm), static_cast<char>(kEm), static_cast<char>(kEm),
                         static_cast<char>(kEm)};

// The Korean trace messages, in cp949.
const std::string& request_send_failed_format() {
  static const text::Literal f{"#5 요청전문 송신 실패 (%d)"};
  return f;
}
const std::string& nak_received_format() {
  static const text::Literal f{"#6 NAK 수신 nRet(%d)"};
  return f;
}
const std::string& ack_send_failed_format() {
  static const text::Literal f{"#7 ACK 송신 실패 nRet(%d)"};
  return f;
}

// Writes trace lines when the exchange has a trace sink.
class Tracer {
 public:
  explicit Tracer(TraceSink* sink) : sink_(sink) {}
  void operator()(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    if (sink_ == nullptr) return;
    std::va_list args;
    va_start(args, format);
    const std::string message = trace::vformat(format, args);
    va_end(args);
    sink_->message(message);
  }

 private:
  TraceSink* sink_;
};

// The receive block, with one zero byte behind it that no receive reaches,
// so that the block can always be read as text.
using ReceiveBlock = std::array<char, kBlockSize + 1>;

int receive_into(Transport& t, const Link& link, ReceiveBlock& block) {
  block.fill('\0');
  const int n = t.recv_data(link.ssl, block.data(), kBlockSize);
  return std::min(n, kBlockSize);
}

// The request goes out only when it is there: a missing request or a
// negative length counts as a failed send.
int send_request(Transport& t, const Link& link, const char* request, int length) {
  if (request == nullptr || length < 0) return -1;
  return t.send_data(link.ssl, request, length);
}

// When the whole exchange must end: kWaitsPerExchange waits after it starts.
std::uint64_t exchange_deadline(MonotonicClock now, int wait) {
  const std::uint64_t one_wait = static_cast<std::uint64_t>(std::max(wait, 1)) * kWaitUnitMs;
  return now() + one_wait * kWaitsPerExchange;
}

// The wait of the next pass: the caller's, cut to what is left of the
// exchange's time (in whole units, rounded up), so that the last pass does
// not run a whole wait past the end; -1 when no time is left.
int pass_wait(MonotonicClock now, std::uint64_t deadline, int wait) {
  const std::uint64_t at = now();
  if (at >= deadline) return -1;
  const std::uint64_t left = (deadline - at + kWaitUnitMs - 1) / kWaitUnitMs;
  return left < static_cast<std::uint64_t>(std::max(wait, 0)) ? static_cast<int>(left) : wait;
}

void close_link(Transport& t, Link& link) {
  t.close(link.ssl, link.sock);
  link = Link{};
}

}  // namespace

Link& process_link() {
  static Link link;
  return link;
}

void BufferSink::response(std::span<const char> block) {
  std::memset(buffer_, 0, 4);
  std::memcpy(buffer_, block.data(), block.size());
}

void BufferSink::abandoned() { std::memset(buffer_, 0, 4); }

int server_connect(Transport& t, Link& link, const char* ip, int port) {
  link = Link{};
  if (ip == nullptr) return kConnectFailed;
  link.sock = t.sock_connect(ip, port);
  if (link.sock < 0) return kConnectFailed;
  link.ssl = t.ssl_start_client(&link.sock);
  if (link.ssl == 0) return kSslFailed;
  return 1;
}

int server_send_data(Transport& t, const Link& link, const char* data, int length) {
  return send_request(t, link, data, length);
}

int server_receive_data(Transport& t, const Link& link, char* buffer, int wait) {
  if (buffer == nullptr) return 0;
  if (t.select_timeout(link.sock, wait) <= 0) return 0;
  std::memset(buffer, 0, 4);
  const int n = std::min(t.recv_data(link.ssl, buffer, kStepReceiveSize), kStepReceiveSize);
  if (n > 0) buffer[n] = '\0';
  return n;
}

int server_close(Transport& t, Link& link) {
  close_link(t, link);
  return 1;
}

namespace {

// The terminal's control blocks for one exchange: one byte each, or four.
struct Controls {
  std::span<const char> ack;
  std::span<const char> em;
};

Controls controls_of(const ExchangeRequest& r) {
  if (r.four_byte_controls) return {kAck4, kEm4};
  return {kAck1, kEm1};
}

int send_control(Transport& t, const Link& link, std::span<const char> bytes) {
  return t.send_data(link.ssl, bytes.data(), static_cast<int>(bytes.size()));
}

// Connects and starts the session, with the trace line of each failure;
// 1 when the exchange can begin.
int open_exchange(Transport& t, Link& link, const ExchangeRequest& r, Tracer& log) {
  link = Link{};
  if (r.ip == nullptr) return kConnectFailed;
  log("#1 CON IP[%s] PORT[%d]", r.ip, r.port);
  log("#1 SND [%d][%s]", r.length, r.request != nullptr ? r.request : "");
  link.sock = t.sock_connect(r.ip, r.port);
  if (link.sock < 0) {
    log("#2 SOCK_CONNECT() error IP(%s) PORT(%d) nRet[%d]", r.ip, r.port, link.sock);
    return kConnectFailed;
  }
  link.ssl = t.ssl_startup(&link.sock);
  if (link.ssl == 0) {
    log("#3 SSL_STARTUP() error");
    return kSslFailed;
  }
  return 1;
}

// Where one received block leaves the exchange.
struct Step {
  enum Kind { kGoOn, kEnded, kFailed } kind = kGoOn;
  int value = 0;  // kEnded: the last response's length; kFailed: the failure code
};

// Answers one received block: the request again for ENQ, EM for NAK, the
// end at EOT, ACK for a block long enough to be a response (kept in the
// sink); shorter blocks are passed over.
Step answer_block(Transport& t, const Link& link, const ExchangeRequest& r, const Controls& c,
                  std::span<const char> block, ResponseSink& sink, int& last_length, Tracer& log) {
  const auto first = static_cast<std::uint8_t>(block[0]);
  const int n = static_cast<int>(block.size());
  if (first == kEnq) {
    const int sent = send_request(t, link, r.request, r.length);
    if (sent < 0) {
      log(request_send_failed_format().c_str(), sent);
      return {Step::kFailed, kRequestSendFailed};
    }
    return {};
  }
  if (first == kNak) {
    send_control(t, link, c.em);
    log(nak_received_format().c_str(), n);
    return {Step::kFailed, kNakReceived};
  }
  if (first == kEot) return {Step::kEnded, last_length};
  if (n < kResponseThreshold) return {};

  sink.response(block);
  last_length = n;
  const int sent = send_control(t, link, c.ack);
  if (sent < 0) {
    log(ack_send_failed_format().c_str(), sent);
    return {Step::kFailed, kAckSendFailed};
  }
  return {};
}

}  // namespace

int run_exchange(Transport& t, Link& link, const ExchangeRequest& r, ResponseSink& sink,
                 TraceSink* trace, MonotonicClock now) {
  Tracer log(trace);
  if (const int opened = open_exchange(t, link, r, log); opened != 1) return opened;

  const Controls controls = controls_of(r);
  if (now == nullptr) now = &clock::monotonic_ms;
  const std::uint64_t deadline = exchange_deadline(now, r.wait);
  int last_length = -1;
  Step step;
  ReceiveBlock block;
  while (step.kind == Step::kGoOn) {
    // Past the exchange's whole time the network has had its chance: the
    // terminal ends as when a wait expires.
    const int wait = pass_wait(now, deadline, r.wait);
    const int ready = wait < 0 ? 0 : t.select_timeout(link.sock, wait);
    if (ready <= 0) {
      log("#9 TIME-OUT nRet(%d) nTimeOut(%d)", ready, r.wait);
      send_control(t, link, controls.em);
      step = {Step::kFailed, kWaitExpired};
      break;
    }
    const int n = receive_into(t, link, block);
    if (n <= 0) {
      log("#8 SSL_RecvData() error nRet(%d)", n);
      step = {Step::kFailed, kReceiveFailed};
      break;
    }
    if (n == 1) {
      log("#4 RCV [%d][%x])", n, static_cast<unsigned>(static_cast<unsigned char>(block[0])));
    } else {
      log("#4 RCV [%d][%s]", n, block.data());
    }
    step = answer_block(t, link, r, controls, std::span<const char>(block.data(), static_cast<std::size_t>(n)),
                        sink, last_length, log);
  }

  close_link(t, link);
  if (step.kind == Step::kFailed) sink.abandoned();
  return step.value;
}

int run_plain_exchange(Transport& t, Link& link, const char* ip, int port, const char* request,
                       int length, char* response) {
  // Connected as the step-by-step link connects: SSL_StartClient.
  if (const int connected = server_connect(t, link, ip, port); connected != 1) return connected;

  int code = 0;
  ReceiveBlock block;
  if (send_request(t, link, request, length) < 0) {
    code = kRequestSendFailed;
  } else if (t.select_timeout(link.sock, kPlainWait) <= 0) {
    code = kPlainWaitExpired;
  } else {
    const int n = receive_into(t, link, block);
    if (n <= 0) {
      code = kPlainReceiveFailed;
    } else {
      std::memcpy(response, block.data(), static_cast<std::size_t>(n));
      code = n;
    }
  }

  close_link(t, link);
  if (code <= 0) std::memset(response, 0, 4);
  return code;
}

}  // namespace pink::corvanavan
