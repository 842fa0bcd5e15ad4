// The payment link: one pair of link handles per process, the step-by-step
// primitives, and the whole exchanges that connect, run the network's
// control-byte exchange, close and hand back the answer.
//
// Everything here works on a Transport and a Link given by the caller and
// does no I/O of its own, so a scripted transport drives it completely.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "payment/control_bytes.h"
#include "payment/corvanavan/transport.h"

namespace pink::corvanavan {

// Control bytes of the network's exchange.
using payment::kAck;
using payment::kEm;
using payment::kEnq;
using payment::kEot;
using payment::kNak;

// Size of the receive block of the whole exchanges (and of the caller's
// response buffer they write into).
inline constexpr int kBlockSize = 4096;
// What ServerReceiveData reads at most (the caller's buffer holds one more
// byte for the zero stored behind the data).
inline constexpr int kStepReceiveSize = 1024;
// A block that is no control byte is a response from this length on.
inline constexpr int kResponseThreshold = 11;
// The fixed wait of the plain exchange.
inline constexpr int kPlainWait = 17;
// A whole exchange with control bytes ends, as when a wait expires, once it
// has run this many waits in all: a normal one waits three times (for ENQ,
// the response and EOT), so one more is to spare. Without a bound a network
// that never stops sending ENQ or short blocks would hold the POS forever.
inline constexpr int kWaitsPerExchange = 4;
// The unit of a wait (SSL_SelectTimeOut counts seconds), and the least total
// time given to an exchange whose wait is 0 or less.
inline constexpr std::uint64_t kWaitUnitMs = 1000;

// Milliseconds from a fixed start, never going back.
using MonotonicClock = std::uint64_t (*)();

// Codes of the exchanges with control bytes (a positive code is the length
// of the last response).
inline constexpr int kConnectFailed = -1;  // also: EOT before any response
inline constexpr int kSslFailed = -2;
inline constexpr int kRequestSendFailed = -3;
inline constexpr int kNakReceived = -4;
inline constexpr int kAckSendFailed = -5;
inline constexpr int kReceiveFailed = -6;
inline constexpr int kWaitExpired = -7;
// Codes of the plain exchange that differ (-1 to -3 are as above).
inline constexpr int kPlainReceiveFailed = -4;
inline constexpr int kPlainWaitExpired = -5;

// The two handles of the one link of the process; both 0 when closed.
struct Link {
  int sock = 0;
  int ssl = 0;
};

// The process's link, shared by the primitives and the whole exchanges.
Link& process_link();

// Step-by-step primitives (callers keep to connect, send/receive, close).
int server_connect(Transport& t, Link& link, const char* ip, int port);
int server_send_data(Transport& t, const Link& link, const char* data, int length);
// `buffer` holds kStepReceiveSize + 1 bytes.
int server_receive_data(Transport& t, const Link& link, char* buffer, int wait);
int server_close(Transport& t, Link& link);

// Receives the lines of the exchange's trace (the user variant logs them).
class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void message(std::string_view text) = 0;
};

// Where the responses of an exchange go.
class ResponseSink {
 public:
  virtual ~ResponseSink() = default;
  // A response arrived (it replaces any earlier one).
  virtual void response(std::span<const char> block) = 0;
  // The exchange failed after the link was up (codes -3 to -7).
  virtual void abandoned() = 0;
};

// The caller's 4096-byte response buffer: each response zeroes its first four
// bytes and is copied in; a failure after connecting zeroes the first four.
class BufferSink final : public ResponseSink {
 public:
  explicit BufferSink(char* buffer) : buffer_(buffer) {}
  void response(std::span<const char> block) override;
  void abandoned() override;

 private:
  char* buffer_;
};

struct ExchangeRequest {
  const char* ip = "";
  int port = 0;
  const char* request = "";
  int length = 0;
  int wait = 0;
  // ACK and EM go as four bytes each (06 06 06 06, 19 19 19 19).
  bool four_byte_controls = false;
};

// The control-byte exchange (connect with SSL_StartUp, answer ENQ with the
// request, acknowledge every response, end at EOT). Returns the length of the
// last response or a negative code.
int run_exchange(Transport& t, Link& link, const ExchangeRequest& request, ResponseSink& sink,
                 TraceSink* trace = nullptr, MonotonicClock now = nullptr);

// The plain exchange (SSL_StartClient, no control bytes): send the request,
// wait kPlainWait, receive once. Returns the received length or a code.
int run_plain_exchange(Transport& t, Link& link, const char* ip, int port, const char* request,
                       int length, char* response);

}  // namespace pink::corvanavan
