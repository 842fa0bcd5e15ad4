// The transport of the payment link: the seven calls of the outside SSL
// client library "ssllib32". Everything the link does on the network goes
// through this interface, so that the exchange logic can be driven by a
// scripted transport in tests.
#pragma once

#include "platform/export.h"

namespace pink::corvanavan {

// Handles are plain ints as ssllib32 gives them: a socket handle (negative
// on failure) and an SSL handle (0 on failure).
class Transport {
 public:
  virtual ~Transport() = default;
  // Opens a TCP connection; the socket handle, negative on failure.
  virtual int sock_connect(const char* ip, int port) = 0;
  // Establish the SSL session on *sock; the SSL handle, 0 on failure. The
  // whole exchanges with control bytes use the first, the step-by-step link
  // and the plain exchange the second.
  virtual int ssl_startup(int* sock) = 0;
  virtual int ssl_start_client(int* sock) = 0;
  // Positive when data can be read; 0 or negative when the wait expired.
  virtual int select_timeout(int sock, int wait) = 0;
  // Reads at most `size` bytes; the count, 0 or negative on failure.
  virtual int recv_data(int ssl, char* buffer, int size) = 0;
  // Sends the bytes; negative on failure.
  virtual int send_data(int ssl, const char* data, int length) = 0;
  // Ends the session and closes the socket.
  virtual int close(int ssl, int sock) = 0;
};

// The outside library's entry points. Standard-call on Windows (the
// convention of the library the terminals carry), plain C on Linux.
using SockConnectFn = int(PINK_CALL*)(const char* ip, int port);
using SslStartFn = int(PINK_CALL*)(int* sock);
using SslSelectTimeOutFn = int(PINK_CALL*)(int sock, int wait);
using SslRecvDataFn = int(PINK_CALL*)(int ssl, char* buffer, int size);
using SslSendDataFn = int(PINK_CALL*)(int ssl, const char* data, int length);
using SslCloseFn = int(PINK_CALL*)(int ssl, int sock);

// The transport every operation of the library uses: the one set with
// set_transport, else "ssllib32" bound by name at its first use.
Transport& transport();

// Puts `replacement` in place of ssllib32 (null: back to ssllib32). The
// replacement is not owned and must outlive its use.
void set_transport(Transport* replacement) noexcept;

}  // namespace pink::corvanavan
