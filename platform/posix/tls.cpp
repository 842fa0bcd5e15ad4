// TLS sessions on OpenSSL over the suite's sockets.
//
// The socket is switched to non-blocking mode and every OpenSSL call is
// retried after poll() with a deadline, so that handshakes, sends and
// receives are bounded and a wait can tell application data from TLS
// housekeeping records. OpenSSL reaches the socket through a small BIO of
// our own that sends with MSG_NOSIGNAL: a peer that vanished must fail a
// send, not raise SIGPIPE in the host process.
#include "platform/tls_server.h"

#include <fcntl.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>

#include <cerrno>
#include <cstring>
#include <mutex>


namespace pink::tls {

namespace {

// ---- time and waiting ------------------------------------------------------

std::uint64_t now_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

struct Deadline {
  bool forever = false;
  std::uint64_t at = 0;
  static Deadline after(std::uint32_t ms) {
    Deadline d;
    if (ms == clock::kWaitForever) {
      d.forever = true;
    } else {
      d.at = now_ms() + ms;
    }
    return d;
  }
  int remaining() const {
    if (forever) return -1;
    const std::uint64_t now = now_ms();
    if (now >= at) return 0;
    const std::uint64_t left = at - now;
    return left > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(left);
  }
};

// Waits for `events` on fd until the deadline: 1 ready (or hung up), 0 time
// out, -1 failure. Signals restart the wait with the time that is left.
int wait_fd(int fd, short events, const Deadline& deadline) {
  for (;;) {
    pollfd pfd{fd, events, 0};
    const int r = ::poll(&pfd, 1, deadline.remaining());
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return -1;
    return r == 0 ? 0 : 1;
  }
}

// ---- OpenSSL error texts ---------------------------------------------------

// The first queued OpenSSL reason (the root cause), and the queue cleared.
// Reasons are fixed texts such as "certificate verify failed"; they never
// carry key material.
std::string take_openssl_reason() {
  std::string reason;
  while (const unsigned long e = ERR_get_error()) {
    if (reason.empty()) {
      const char* r = ERR_reason_error_string(e);
      reason = r ? r : "error " + std::to_string(ERR_GET_REASON(e));
    }
  }
  return reason;
}

using Done = Result<void>;

template <typename T>
Result<std::unique_ptr<T>> failed(std::string why) {
  return Result<std::unique_ptr<T>>::failure(std::move(why));
}

// ---- the socket BIO ----------------------------------------------------------

struct BioState {
  int fd = -1;
  bool eof = false;
};

BioState* state_of(BIO* b) { return static_cast<BioState*>(BIO_get_data(b)); }

int bio_write(BIO* b, const char* data, int len) {
  BIO_clear_retry_flags(b);
  BioState* s = state_of(b);
  for (;;) {
    const ssize_t w = ::send(s->fd, data, static_cast<std::size_t>(len), MSG_NOSIGNAL);
    if (w >= 0) return static_cast<int>(w);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) BIO_set_retry_write(b);
    return -1;
  }
}

int bio_read(BIO* b, char* out, int len) {
  BIO_clear_retry_flags(b);
  BioState* s = state_of(b);
  for (;;) {
    const ssize_t r = ::recv(s->fd, out, static_cast<std::size_t>(len), 0);
    if (r > 0) return static_cast<int>(r);
    if (r == 0) {
      s->eof = true;
      return 0;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) BIO_set_retry_read(b);
    return -1;
  }
}

int bio_puts(BIO* b, const char* text) { return bio_write(b, text, static_cast<int>(std::strlen(text))); }

long bio_ctrl(BIO* b, int cmd, long, void*) {
  switch (cmd) {
    case BIO_CTRL_FLUSH:
      return 1;
    case BIO_CTRL_EOF:
      return state_of(b)->eof ? 1 : 0;
    default:
      return 0;
  }
}

int bio_create(BIO* b) {
  BIO_set_init(b, 0);
  BIO_set_data(b, nullptr);
  return 1;
}

int bio_destroy(BIO* b) {
  BIO_set_data(b, nullptr);  // the state belongs to the session
  BIO_set_init(b, 0);
  return 1;
}

// The method table is made once and freed when the code that made it goes
// away (process exit, or the unloading of a library that links this piece),
// so that nothing of it is left behind.
struct MethodHolder {
  BIO_METHOD* method = nullptr;
  ~MethodHolder() {
    if (method) BIO_meth_free(method);
  }
};

const BIO_METHOD* socket_bio_method() {
  static MethodHolder holder;
  static std::once_flag once;
  std::call_once(once, [] {
    BIO_METHOD*& method = holder.method;
    method = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "pink socket");
    if (!method) return;
    BIO_meth_set_write(method, bio_write);
    BIO_meth_set_read(method, bio_read);
    BIO_meth_set_puts(method, bio_puts);
    BIO_meth_set_ctrl(method, bio_ctrl);
    BIO_meth_set_create(method, bio_create);
    BIO_meth_set_destroy(method, bio_destroy);
  });
  return holder.method;
}

int version_number(Version v) {
  switch (v) {
    case Version::Tls1_1:
      return TLS1_1_VERSION;
    case Version::Tls1_2:
      return TLS1_2_VERSION;
    case Version::Tls1_3:
      return TLS1_3_VERSION;
  }
  return TLS1_2_VERSION;
}

// ---- the session ---------------------------------------------------------------

class OpenSslSession final : public Session {
 public:
  explicit OpenSslSession(std::unique_ptr<net::Socket> socket) : socket_(std::move(socket)) {
    state_.fd = static_cast<int>(socket_->native());
  }
  ~OpenSslSession() override { close(); }

  // Takes a fresh SSL object (owned from here on) and wires it to the socket.
  Done attach(SSL* ssl) {
    ssl_ = ssl;
    const int fl = ::fcntl(state_.fd, F_GETFL);
    if (fl < 0 || ::fcntl(state_.fd, F_SETFL, fl | O_NONBLOCK) < 0) {
      failed_ = true;
      return Done::failure("cannot switch the socket to non-blocking mode");
    }
    const BIO_METHOD* method = socket_bio_method();
    BIO* bio = method ? BIO_new(method) : nullptr;
    if (!bio) {
      failed_ = true;
      return Done::failure("cannot create the socket BIO");
    }
    BIO_set_data(bio, &state_);
    BIO_set_init(bio, 1);
    SSL_set_bio(ssl_, bio, bio);
    return {};
  }

  Done handshake(bool client, std::uint32_t timeout_ms) {
    const Deadline deadline = Deadline::after(timeout_ms);
    for (;;) {
      ERR_clear_error();
      const int r = client ? SSL_connect(ssl_) : SSL_accept(ssl_);
      if (r == 1) break;
      const int e = SSL_get_error(ssl_, r);
      if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
        const int w = wait_fd(state_.fd, e == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, deadline);
        if (w > 0) continue;
        failed_ = true;
        return Done::failure(w == 0 ? "TLS handshake timed out" : "TLS handshake: wait failed");
      }
      failed_ = true;
      const long verify = SSL_get_verify_result(ssl_);
      std::string reason = take_openssl_reason();
      if (client && verify != X509_V_OK) {
        return Done::failure(std::string("certificate verify failed: ") + X509_verify_cert_error_string(verify));
      }
      if (!reason.empty()) return Done::failure("TLS handshake failed: " + reason);
      return Done::failure(state_.eof ? "TLS handshake failed: the peer closed the connection"
                                      : "TLS handshake failed");
    }
    if (client) {
      // The handshake verifies the peer already (SSL_VERIFY_PEER); a session
      // without a verified certificate is never handed out all the same.
      if (SSL_get0_peer_certificate(ssl_) == nullptr || SSL_get_verify_result(ssl_) != X509_V_OK) {
        failed_ = true;
        return Done::failure("certificate verify failed: no verified server certificate");
      }
    }
    return {};
  }

  long send(std::span<const std::uint8_t> bytes) override {
    if (!ssl_ || failed_) return -1;
    if (bytes.empty()) return 0;
    const Deadline deadline = Deadline::after(send_ms_);
    std::size_t done = 0;
    while (done < bytes.size()) {
      std::size_t n = 0;
      ERR_clear_error();
      const int r = SSL_write_ex(ssl_, bytes.data() + done, bytes.size() - done, &n);
      if (r == 1) {
        done += n;
        continue;
      }
      if (!retry_after_wait(r, deadline)) return -1;
    }
    return static_cast<long>(done);
  }

  long recv(std::span<std::uint8_t> out) override {
    if (!ssl_ || failed_) return -1;
    if (out.empty()) return 0;
    const Deadline deadline = Deadline::after(recv_ms_);
    for (;;) {
      std::size_t n = 0;
      ERR_clear_error();
      const int r = SSL_read_ex(ssl_, out.data(), out.size(), &n);
      if (r == 1) return static_cast<long>(n);
      if (SSL_get_error(ssl_, r) == SSL_ERROR_ZERO_RETURN) {
        peer_closed_ = true;
        return 0;
      }
      if (!retry_after_wait(r, deadline)) return -1;
    }
  }

  int wait_readable(std::uint32_t timeout_ms) override {
    if (!ssl_ || failed_) return -1;
    if (SSL_pending(ssl_) > 0 || peer_closed_) return 1;
    const Deadline deadline = Deadline::after(timeout_ms);
    for (;;) {
      // Look first (bytes may sit unprocessed in the record layer), then
      // wait on the socket.
      unsigned char c = 0;
      std::size_t n = 0;
      ERR_clear_error();
      const int r = SSL_peek_ex(ssl_, &c, 1, &n);
      if (r == 1) return 1;
      const int e = SSL_get_error(ssl_, r);
      if (e == SSL_ERROR_ZERO_RETURN) {
        peer_closed_ = true;
        return 1;
      }
      if (e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE) {
        failed_ = true;
        ERR_clear_error();
        return -1;
      }
      const int w = wait_fd(state_.fd, e == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, deadline);
      if (w <= 0) return w;
    }
  }

  void set_timeouts(std::uint32_t recv_ms, std::uint32_t send_ms) override {
    recv_ms_ = recv_ms;
    send_ms_ = send_ms;
  }

  void close() override {
    if (ssl_) {
      if (!failed_ && SSL_is_init_finished(ssl_)) {
        // close_notify, without waiting for the peer's; a full socket buffer
        // gets a short grace period.
        const Deadline deadline = Deadline::after(1000);
        for (int tries = 0; tries < 4; ++tries) {
          ERR_clear_error();
          const int r = SSL_shutdown(ssl_);
          if (r >= 0) break;
          if (SSL_get_error(ssl_, r) != SSL_ERROR_WANT_WRITE) break;
          if (wait_fd(state_.fd, POLLOUT, deadline) <= 0) break;
        }
      }
      ERR_clear_error();
      SSL_free(ssl_);
      ssl_ = nullptr;
    }
    socket_.reset();
  }

  std::string protocol() const override { return ssl_ ? SSL_get_version(ssl_) : ""; }

 private:
  // After an SSL call that did not complete: waits for the direction it
  // wants and returns true to retry; false on a failure, a closed peer or
  // the deadline.
  bool retry_after_wait(int result, const Deadline& deadline) {
    const int e = SSL_get_error(ssl_, result);
    if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
      return wait_fd(state_.fd, e == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, deadline) > 0;
    }
    if (e == SSL_ERROR_ZERO_RETURN) {
      peer_closed_ = true;
    } else {
      failed_ = true;
    }
    ERR_clear_error();
    return false;
  }

  std::unique_ptr<net::Socket> socket_;
  BioState state_;
  SSL* ssl_ = nullptr;
  std::uint32_t recv_ms_ = 60000;
  std::uint32_t send_ms_ = 60000;
  bool failed_ = false;
  bool peer_closed_ = false;
};

struct CtxFree {
  void operator()(SSL_CTX* c) const { SSL_CTX_free(c); }
};
using CtxPtr = std::unique_ptr<SSL_CTX, CtxFree>;

// Encrypted keys are not supported: never prompt on a terminal for a pass phrase.
int no_pass_phrase(char*, int, int, void*) { return 0; }

class OpenSslServer final : public Server {
 public:
  OpenSslServer(CtxPtr ctx, std::unique_ptr<net::Listener> listener, std::uint32_t handshake_ms)
      : ctx_(std::move(ctx)), listener_(std::move(listener)), handshake_ms_(handshake_ms) {}

  Result<std::unique_ptr<Session>> accept(std::uint32_t timeout_ms) override {
    auto socket = listener_->accept(timeout_ms);
    if (!socket) return failed<Session>("no connection");
    // Small records go out at once: a server that writes its session
    // tickets and then a one-byte answer must not hold the answer back
    // until the client acknowledges the tickets (a delayed ACK, 40 ms).
    socket->set_no_delay(true);
    SSL* ssl = SSL_new(ctx_.get());
    if (!ssl) {
      return failed<Session>("cannot create a TLS session: " + take_openssl_reason());
    }
    auto session = std::make_unique<OpenSslSession>(std::move(socket));
    if (auto attached = session->attach(ssl); !attached) return failed<Session>(attached.why());
    if (auto shaken = session->handshake(false, handshake_ms_); !shaken) return failed<Session>(shaken.why());
    return std::unique_ptr<Session>(std::move(session));
  }

  std::uint16_t port() const override { return listener_->port(); }

 private:
  CtxPtr ctx_;
  std::unique_ptr<net::Listener> listener_;
  std::uint32_t handshake_ms_;
};

// Checks that the certificate in use by `ctx` chains to the CAs in `ca_file`.
Done certificate_verifies(SSL_CTX* ctx, const std::string& ca_file) {
  X509* cert = SSL_CTX_get0_certificate(ctx);
  X509_STORE* store = X509_STORE_new();
  X509_STORE_CTX* vctx = X509_STORE_CTX_new();
  // Without the objects to check with, the check fails all the same.
  Done outcome = Done::failure("cannot check the server certificate against " + ca_file);
  if (store && vctx && cert) {
    if (X509_STORE_load_file(store, ca_file.c_str()) != 1) {
      outcome = Done::failure("cannot read the CA certificates in " + ca_file + ": " + take_openssl_reason());
    } else {
      STACK_OF(X509)* chain = nullptr;
      SSL_CTX_get0_chain_certs(ctx, &chain);
      if (X509_STORE_CTX_init(vctx, store, cert, chain) == 1) {
        if (X509_verify_cert(vctx) == 1) {
          outcome = Done();
        } else {
          outcome = Done::failure("the server certificate does not verify against " + ca_file + ": " +
                                  X509_verify_cert_error_string(X509_STORE_CTX_get_error(vctx)));
        }
      }
    }
  }
  X509_STORE_CTX_free(vctx);
  X509_STORE_free(store);
  ERR_clear_error();
  return outcome;
}

}  // namespace

Result<std::unique_ptr<Session>> connect(std::unique_ptr<net::Socket> socket, const ClientOptions& options) {
  if (!socket) {
    return failed<Session>("no socket");
  }
  if (options.peer_name ? options.peer_name->empty() : !net::parse_ipv4(options.peer_address)) {
    return failed<Session>("no peer identity to verify (a dotted IPv4 address or a host name is needed)");
  }
  if (options.peer_name && options.peer_name->front() == '.') {
    // OpenSSL would take it for "any name below this domain".
    return failed<Session>("not a usable peer name: " + *options.peer_name);
  }
  ERR_clear_error();
  CtxPtr ctx(SSL_CTX_new(TLS_client_method()));
  if (!ctx) {
    return failed<Session>("cannot create a TLS context: " + take_openssl_reason());
  }
  SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION);
  SSL_CTX_set_options(ctx.get(), SSL_OP_IGNORE_UNEXPECTED_EOF | SSL_OP_NO_RENEGOTIATION);
  SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_PEER, nullptr);
  if (options.ca_file) {
    if (SSL_CTX_load_verify_locations(ctx.get(), options.ca_file->c_str(), nullptr) != 1) {
      return failed<Session>("cannot read the trust anchors in " + *options.ca_file + ": " + take_openssl_reason());
    }
  } else if (SSL_CTX_set_default_verify_paths(ctx.get()) != 1) {
    return failed<Session>("cannot load the system trust store: " + take_openssl_reason());
  }

  SSL* ssl = SSL_new(ctx.get());  // holds its own reference to the context
  if (!ssl) {
    return failed<Session>("cannot create a TLS session: " + take_openssl_reason());
  }
  auto session = std::make_unique<OpenSslSession>(std::move(socket));
  if (auto attached = session->attach(ssl); !attached) return failed<Session>(attached.why());
  if (options.peer_name) {
    const char* name = options.peer_name->c_str();
    SSL_set_hostflags(ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    if (SSL_set1_host(ssl, name) != 1 || SSL_set_tlsext_host_name(ssl, name) != 1) {
      return failed<Session>("not a usable peer name: " + *options.peer_name);
    }
  } else if (X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), options.peer_address.c_str()) != 1) {
    return failed<Session>("not a usable peer address: " + options.peer_address);
  }
  if (auto shaken = session->handshake(true, options.handshake_timeout_ms); !shaken) {
    return failed<Session>(shaken.why());
  }
  return std::unique_ptr<Session>(std::move(session));
}

Result<std::unique_ptr<Server>> listen(const ServerOptions& options) {
  ERR_clear_error();
  CtxPtr ctx(SSL_CTX_new(TLS_server_method()));
  if (!ctx) {
    return failed<Server>("cannot create a TLS context: " + take_openssl_reason());
  }
  SSL_CTX* c = ctx.get();
  if (version_number(options.min_version) < TLS1_2_VERSION) {
    // Protocols below 1.2 are refused at the default security level.
    SSL_CTX_set_security_level(c, 0);
    SSL_CTX_set_cipher_list(c, "DEFAULT:@SECLEVEL=0");
  }
  if (SSL_CTX_set_min_proto_version(c, version_number(options.min_version)) != 1 ||
      SSL_CTX_set_max_proto_version(c, version_number(options.max_version)) != 1) {
    return failed<Server>("unsupported protocol range");
  }
  SSL_CTX_set_options(c, SSL_OP_IGNORE_UNEXPECTED_EOF | SSL_OP_NO_RENEGOTIATION);
  SSL_CTX_set_default_passwd_cb(c, no_pass_phrase);
  if (SSL_CTX_use_certificate_chain_file(c, options.cert_file.c_str()) != 1) {
    return failed<Server>("cannot read the certificate in " + options.cert_file + ": " + take_openssl_reason());
  }
  if (SSL_CTX_use_PrivateKey_file(c, options.key_file.c_str(), SSL_FILETYPE_PEM) != 1) {
    if (ERR_GET_REASON(ERR_peek_last_error()) == X509_R_KEY_VALUES_MISMATCH) {
      ERR_clear_error();
      return failed<Server>("the private key in " + options.key_file + " does not belong to the certificate");
    }
    return failed<Server>("cannot read the private key in " + options.key_file + ": " + take_openssl_reason());
  }
  if (SSL_CTX_check_private_key(c) != 1) {
    ERR_clear_error();
    return failed<Server>("the private key in " + options.key_file + " does not belong to the certificate");
  }
  if (options.ca_file) {
    if (auto verified = certificate_verifies(c, *options.ca_file); !verified) return failed<Server>(verified.why());
  }

  auto listener = net::listen(options.address, options.port);
  if (!listener) return failed<Server>(listener.why());
  return std::unique_ptr<Server>(
      std::make_unique<OpenSslServer>(std::move(ctx), std::move(*listener), options.handshake_timeout_ms));
}

}  // namespace pink::tls
