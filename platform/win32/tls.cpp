// TLS client sessions on SChannel (through SSPI) over the suite's sockets.
//
// The socket is switched to non-blocking mode and every wait is a select()
// with a deadline, so that handshakes, sends and receives are bounded.
// Records that arrive are kept in a buffer of their own and decrypted whole;
// decrypted bytes that do not fit the caller's buffer wait for the next
// receive, so a wait can tell application data from records that carry none
// (session tickets, key updates).
//
// SChannel is told to leave the server's certificate to us (manual
// validation): it is checked by tls_verify.cpp right after the handshake,
// before a byte of application data is sent or handed out. Under TLS 1.3 the
// client's last handshake message has gone out by then, so a refused server
// sees the connection close instead of an alert.
#include "platform/win32/tls_verify.h"  // first: it sets what wincrypt.h declares

#include <winsock2.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/tls.h"

namespace pink::tls {
namespace {

using win32::PeerIdentity;
using win32::TrustAnchors;

constexpr std::size_t kReadChunk = 16 * 1024 + 512;
// More buffered than a whole handshake flight or record can take is no TLS.
constexpr std::size_t kMaxHandshakeBuffer = 256 * 1024;
constexpr std::size_t kMaxRecordBuffer = 64 * 1024;
constexpr DWORD kCloseNotifyMs = 1000;
constexpr DWORD kProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
constexpr ULONG kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                           ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION |
                           ISC_REQ_EXTENDED_ERROR;

using Done = Result<void>;

struct StatusText {
  SECURITY_STATUS status;
  const char* text;
};

constexpr StatusText kStatusTexts[] = {
    {SEC_E_ALGORITHM_MISMATCH, "no protocol version or cipher in common with the server"},
    {SEC_E_UNSUPPORTED_FUNCTION, "unsupported protocol or function"},
    {SEC_E_ILLEGAL_MESSAGE, "the server sent a message that is not valid here, or an alert"},
    {SEC_E_INVALID_TOKEN, "what the server sent is not TLS"},
    {SEC_E_MESSAGE_ALTERED, "a record was altered on the way"},
    {SEC_E_DECRYPT_FAILURE, "a record cannot be decrypted"},
    {SEC_E_INTERNAL_ERROR, "the TLS stack failed"},
    {SEC_E_NO_CREDENTIALS, "no usable credentials"},
    {SEC_E_UNKNOWN_CREDENTIALS, "the credentials are not recognised"},
    {SEC_E_INSUFFICIENT_MEMORY, "not enough memory"},
};

std::string status_text(SECURITY_STATUS st) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(st));
  for (const auto& s : kStatusTexts) {
    if (s.status == st) return std::string(s.text) + " (" + hex + ")";
  }
  return std::string("SSPI status ") + hex;
}

// ---- time and the socket ------------------------------------------------------

struct Deadline {
  bool forever = false;
  ULONGLONG at = 0;
  static Deadline after(std::uint32_t ms) {
    Deadline d;
    d.forever = ms == clock::kWaitForever;
    d.at = GetTickCount64() + ms;
    return d;
  }
  DWORD remaining() const {
    const ULONGLONG now = GetTickCount64();
    if (now >= at) return 0;
    const ULONGLONG left = at - now;
    return left > 0x7FFFFFFFu ? 0x7FFFFFFFu : static_cast<DWORD>(left);
  }
};

// Waits for the socket: 1 ready (or failed: the next call tells), 0 the
// deadline passed, -1 the wait itself failed.
int wait_socket(SOCKET s, bool write, const Deadline& d) {
  fd_set ready, failed;
  FD_ZERO(&ready);
  FD_ZERO(&failed);
  FD_SET(s, &ready);
  FD_SET(s, &failed);
  const DWORD ms = d.forever ? 0 : d.remaining();
  timeval tv{static_cast<long>(ms / 1000u), static_cast<long>((ms % 1000u) * 1000u)};
  const int r = select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, d.forever ? nullptr : &tv);
  if (r == SOCKET_ERROR) return -1;
  return r == 0 ? 0 : 1;
}

enum class Io { Done, TimedOut, Closed, Failed };

Io send_raw(SOCKET s, const std::uint8_t* p, std::size_t n, const Deadline& d) {
  while (n > 0) {
    const int chunk = n > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(n);
    const int w = ::send(s, reinterpret_cast<const char*>(p), chunk, 0);
    if (w == SOCKET_ERROR) {
      if (WSAGetLastError() != WSAEWOULDBLOCK) return Io::Failed;
      const int r = wait_socket(s, true, d);
      if (r == 0) return Io::TimedOut;
      if (r < 0) return Io::Failed;
      continue;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return Io::Done;
}

// Appends what has arrived (at least one byte) to `into`.
Io recv_raw(SOCKET s, std::vector<std::uint8_t>& into, const Deadline& d) {
  for (;;) {
    const std::size_t old = into.size();
    into.resize(old + kReadChunk);
    const int r = ::recv(s, reinterpret_cast<char*>(into.data() + old), static_cast<int>(kReadChunk), 0);
    into.resize(old + (r > 0 ? static_cast<std::size_t>(r) : 0));
    if (r > 0) return Io::Done;
    if (r == 0) return Io::Closed;
    if (WSAGetLastError() != WSAEWOULDBLOCK) return Io::Failed;
    const int w = wait_socket(s, false, d);
    if (w == 0) return Io::TimedOut;
    if (w < 0) return Io::Failed;
  }
}

// Keeps the last `extra` bytes of the buffer (what the TLS stack did not use).
void keep_tail(std::vector<std::uint8_t>& buffer, std::size_t extra) {
  if (extra == 0 || extra > buffer.size()) {
    buffer.clear();
    return;
  }
  buffer.erase(buffer.begin(), buffer.end() - static_cast<std::ptrdiff_t>(extra));
}

std::string protocol_name(DWORD protocol) {
  if (protocol & SP_PROT_TLS1_3) return "TLSv1.3";
  if (protocol & SP_PROT_TLS1_2) return "TLSv1.2";
  if (protocol & SP_PROT_TLS1_1) return "TLSv1.1";
  if (protocol & SP_PROT_TLS1_0) return "TLSv1";
  return "unknown";
}

// ---- the session ----------------------------------------------------------------

class SchannelSession final : public Session {
 public:
  explicit SchannelSession(std::unique_ptr<net::Socket> socket)
      : socket_(std::move(socket)), s_(static_cast<SOCKET>(socket_->native())) {}
  ~SchannelSession() override { close(); }

  // Credentials, handshake, certificate checks.
  Done open(const TrustAnchors* anchors, const PeerIdentity& peer, const std::string& sni,
            std::uint32_t timeout_ms);

  long send(std::span<const std::uint8_t> bytes) override;
  long recv(std::span<std::uint8_t> out) override;
  int wait_readable(std::uint32_t timeout_ms) override;
  void set_timeouts(std::uint32_t recv_ms, std::uint32_t send_ms) override {
    recv_ms_ = recv_ms;
    send_ms_ = send_ms;
  }
  void close() override;
  std::string protocol() const override { return open_ ? protocol_name(protocol_) : ""; }

 private:
  enum class Fill { Data, Closed, TimedOut, Failed };
  enum class Step { Data, NeedMore, Closed, Failed };

  Done acquire_credentials();
  Done start_handshake(const Deadline& d);
  Done run_handshake(const Deadline& d, bool read_first);
  Done check_session(const TrustAnchors* anchors, const PeerIdentity& peer);
  Io send_token(SecBuffer& token, const Deadline& d);
  Fill fill(const Deadline& d);
  Step decrypt_buffered();
  bool after_renegotiate();
  std::size_t take(std::span<std::uint8_t> out);
  void send_close_notify();
  SEC_WCHAR* target() { return target_.empty() ? nullptr : target_.data(); }

  std::unique_ptr<net::Socket> socket_;
  SOCKET s_;
  CredHandle cred_{};
  CtxtHandle ctx_{};
  bool has_cred_ = false;
  bool has_ctx_ = false;
  bool open_ = false;  // handshake done and server verified, until close
  ULONG request_ = kRequest;
  std::wstring target_;
  SecPkgContext_StreamSizes sizes_{};
  DWORD protocol_ = 0;
  std::vector<std::uint8_t> incoming_;  // received, not yet decrypted
  std::string plain_;                   // decrypted, not yet handed out (from plain_at_)
  std::size_t plain_at_ = 0;
  std::uint32_t recv_ms_ = 60000;
  std::uint32_t send_ms_ = 60000;
  bool failed_ = false;
  bool peer_closed_ = false;
};

Done SchannelSession::acquire_credentials() {
  SCHANNEL_CRED cred{};
  cred.dwVersion = SCHANNEL_CRED_VERSION;
  cred.grbitEnabledProtocols = kProtocols;
  cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
  TimeStamp expiry{};
  SEC_WCHAR* package = const_cast<SEC_WCHAR*>(UNISP_NAME_W);
  SECURITY_STATUS st = AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &cred, nullptr,
                                                 nullptr, &cred_, &expiry);
  if (st != SEC_E_OK) {
    // Systems that do not offer TLS 1.3 through this interface refuse the
    // request as a whole: TLS 1.2 alone then.
    cred.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    st = AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &cred, nullptr, nullptr, &cred_,
                                   &expiry);
  }
  if (st != SEC_E_OK) {
    return Done::failure("cannot create TLS credentials: " + status_text(st));
  }
  has_cred_ = true;
  return {};
}

Io SchannelSession::send_token(SecBuffer& token, const Deadline& d) {
  Io r = Io::Done;
  if (token.pvBuffer != nullptr) {
    if (token.cbBuffer > 0) r = send_raw(s_, static_cast<const std::uint8_t*>(token.pvBuffer), token.cbBuffer, d);
    FreeContextBuffer(token.pvBuffer);
    token.pvBuffer = nullptr;
  }
  return r;
}

Done SchannelSession::start_handshake(const Deadline& d) {
  SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
  SecBufferDesc out_desc{SECBUFFER_VERSION, 1, &out};
  ULONG attributes = 0;
  const SECURITY_STATUS st = InitializeSecurityContextW(&cred_, nullptr, target(), request_, 0, 0, nullptr, 0,
                                                        &ctx_, &out_desc, &attributes, nullptr);
  if (st != SEC_I_CONTINUE_NEEDED && st != SEC_E_OK) {
    send_token(out, d);
    return Done::failure("TLS handshake failed: " + status_text(st));
  }
  has_ctx_ = true;
  const Io sent = send_token(out, d);
  if (sent != Io::Done) {
    return Done::failure(sent == Io::TimedOut ? "TLS handshake timed out" : "TLS handshake: the connection failed");
  }
  return {};
}

// Runs InitializeSecurityContext over what the server sends until the
// handshake (or, after a TLS 1.3 post-handshake message, its processing) is
// complete. Bytes behind the handshake stay in incoming_.
Done SchannelSession::run_handshake(const Deadline& d, bool read_first) {
  bool need_read = read_first;
  for (;;) {
    if (need_read) {
      const Io r = recv_raw(s_, incoming_, d);
      if (r != Io::Done || incoming_.size() > kMaxHandshakeBuffer) {
        return Done::failure(r == Io::TimedOut ? "TLS handshake timed out"
                              : r == Io::Closed ? "TLS handshake failed: the peer closed the connection"
                                                : "TLS handshake failed: the connection failed");
      }
    }
    SecBuffer in[2] = {{static_cast<ULONG>(incoming_.size()), SECBUFFER_TOKEN, incoming_.data()},
                       {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc in_desc{SECBUFFER_VERSION, 2, in};
    SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc out_desc{SECBUFFER_VERSION, 1, &out};
    ULONG attributes = 0;
    const SECURITY_STATUS st = InitializeSecurityContextW(&cred_, &ctx_, target(), request_, 0, 0, &in_desc, 0,
                                                          nullptr, &out_desc, &attributes, nullptr);
    const Io sent = send_token(out, d);  // alerts too, on failures
    if (st == SEC_E_INCOMPLETE_MESSAGE) {
      need_read = true;
      continue;
    }
    if (st == SEC_I_INCOMPLETE_CREDENTIALS && !(request_ & ISC_REQ_USE_SUPPLIED_CREDS)) {
      // The server asks for a client certificate; there is none to give.
      request_ |= ISC_REQ_USE_SUPPLIED_CREDS;
      need_read = false;
      continue;
    }
    keep_tail(incoming_, in[1].BufferType == SECBUFFER_EXTRA ? in[1].cbBuffer : 0);
    if (st != SEC_E_OK && st != SEC_I_CONTINUE_NEEDED) {
      return Done::failure("TLS handshake failed: " + status_text(st));
    }
    if (sent != Io::Done) {
      return Done::failure(sent == Io::TimedOut ? "TLS handshake timed out" : "TLS handshake: the connection failed");
    }
    if (st == SEC_E_OK) return {};
    need_read = incoming_.empty();
  }
}

Done SchannelSession::check_session(const TrustAnchors* anchors, const PeerIdentity& peer) {
  SecPkgContext_ConnectionInfo info{};
  if (QueryContextAttributesW(&ctx_, SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK ||
      QueryContextAttributesW(&ctx_, SECPKG_ATTR_CONNECTION_INFO, &info) != SEC_E_OK ||
      sizes_.cbMaximumMessage == 0) {
    return Done::failure("TLS handshake failed: the session cannot be queried");
  }
  protocol_ = info.dwProtocol;
  if (!(protocol_ & (SP_PROT_TLS1_2 | SP_PROT_TLS1_3))) {
    return Done::failure("TLS handshake failed: the server chose " + protocol_name(protocol_) +
                              ", below the lowest protocol allowed (TLSv1.2)");
  }
  PCCERT_CONTEXT cert = nullptr;
  if (QueryContextAttributesW(&ctx_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &cert) != SEC_E_OK) cert = nullptr;
  const std::string why = win32::verify_server(cert, anchors, peer);
  if (cert) CertFreeCertificateContext(cert);
  if (!why.empty()) {
    return Done::failure(why);
  }
  return {};
}

Done SchannelSession::open(const TrustAnchors* anchors, const PeerIdentity& peer, const std::string& sni,
                           std::uint32_t timeout_ms) {
  target_.assign(sni.begin(), sni.end());  // plain ASCII, checked by the caller
  u_long nonblocking = 1;
  if (ioctlsocket(s_, FIONBIO, &nonblocking) != 0) {
    return Done::failure("cannot switch the socket to non-blocking mode");
  }
  const Deadline d = Deadline::after(timeout_ms);
  Done step = acquire_credentials();
  if (step) step = start_handshake(d);
  if (step) step = run_handshake(d, true);
  if (step) step = check_session(anchors, peer);
  if (!step) {
    failed_ = true;
    return step;
  }
  open_ = true;
  return {};
}

// ---- records ------------------------------------------------------------------------

// Decrypts the whole records in incoming_ until one yields data.
SchannelSession::Step SchannelSession::decrypt_buffered() {
  while (!incoming_.empty()) {
    SecBuffer b[4] = {{static_cast<ULONG>(incoming_.size()), SECBUFFER_DATA, incoming_.data()},
                      {0, SECBUFFER_EMPTY, nullptr},
                      {0, SECBUFFER_EMPTY, nullptr},
                      {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, b};
    const SECURITY_STATUS st = DecryptMessage(&ctx_, &desc, 0, nullptr);
    if (st == SEC_E_INCOMPLETE_MESSAGE) return Step::NeedMore;
    if (st != SEC_E_OK && st != SEC_I_CONTEXT_EXPIRED && st != SEC_I_RENEGOTIATE) return Step::Failed;
    std::size_t produced = 0, extra = 0;
    for (const SecBuffer& x : b) {
      if (x.BufferType == SECBUFFER_DATA && x.pvBuffer != nullptr && x.cbBuffer > 0) {
        plain_.append(static_cast<const char*>(x.pvBuffer), x.cbBuffer);
        produced += x.cbBuffer;
      } else if (x.BufferType == SECBUFFER_EXTRA) {
        extra = x.cbBuffer;
      }
    }
    keep_tail(incoming_, extra);
    if (st == SEC_I_CONTEXT_EXPIRED) {
      peer_closed_ = true;  // close_notify
      return produced > 0 ? Step::Data : Step::Closed;
    }
    if (st == SEC_I_RENEGOTIATE && !after_renegotiate()) return Step::Failed;
    if (produced > 0) return Step::Data;
  }
  return Step::NeedMore;
}

// A handshake message after the handshake: under TLS 1.3 a session ticket or
// key update, taken in through the handshake call; under older protocols
// the server asks to renegotiate, which is refused (the session fails).
bool SchannelSession::after_renegotiate() {
  if (!(protocol_ & SP_PROT_TLS1_3)) return false;
  return run_handshake(Deadline::after(recv_ms_), false).ok();
}

SchannelSession::Fill SchannelSession::fill(const Deadline& d) {
  for (;;) {
    const Step step = decrypt_buffered();
    if (step == Step::Data) return Fill::Data;
    if (step == Step::Closed) return Fill::Closed;
    if (step == Step::Failed || incoming_.size() > kMaxRecordBuffer) {
      failed_ = true;
      return Fill::Failed;
    }
    const Io r = recv_raw(s_, incoming_, d);
    if (r == Io::Closed) {
      peer_closed_ = true;  // a plain close without close_notify ends the session too
      return Fill::Closed;
    }
    if (r == Io::TimedOut) return Fill::TimedOut;
    if (r == Io::Failed) {
      failed_ = true;
      return Fill::Failed;
    }
  }
}

std::size_t SchannelSession::take(std::span<std::uint8_t> out) {
  const std::size_t n = std::min(out.size(), plain_.size() - plain_at_);
  std::memcpy(out.data(), plain_.data() + plain_at_, n);
  plain_at_ += n;
  if (plain_at_ == plain_.size()) {
    plain_.clear();
    plain_at_ = 0;
  }
  return n;
}

long SchannelSession::recv(std::span<std::uint8_t> out) {
  if (!open_ || failed_) return -1;
  if (out.empty()) return 0;
  if (plain_at_ < plain_.size()) return static_cast<long>(take(out));
  if (peer_closed_) return 0;
  switch (fill(Deadline::after(recv_ms_))) {
    case Fill::Data:
      return static_cast<long>(take(out));
    case Fill::Closed:
      return 0;
    case Fill::TimedOut:
    case Fill::Failed:
      break;
  }
  return -1;
}

int SchannelSession::wait_readable(std::uint32_t timeout_ms) {
  if (!open_ || failed_) return -1;
  if (plain_at_ < plain_.size() || peer_closed_) return 1;
  switch (fill(Deadline::after(timeout_ms))) {
    case Fill::Data:
    case Fill::Closed:
      return 1;
    case Fill::TimedOut:
      return 0;
    case Fill::Failed:
      break;
  }
  return -1;
}

long SchannelSession::send(std::span<const std::uint8_t> bytes) {
  if (!open_ || failed_) return -1;
  if (bytes.empty()) return 0;
  const Deadline d = Deadline::after(send_ms_);
  std::vector<std::uint8_t> record(sizes_.cbHeader + sizes_.cbMaximumMessage + sizes_.cbTrailer);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t n = std::min<std::size_t>(bytes.size() - done, sizes_.cbMaximumMessage);
    std::uint8_t* data = record.data() + sizes_.cbHeader;
    std::memcpy(data, bytes.data() + done, n);
    SecBuffer b[4] = {{sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
                      {static_cast<ULONG>(n), SECBUFFER_DATA, data},
                      {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, data + n},
                      {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, b};
    if (EncryptMessage(&ctx_, 0, &desc, 0) != SEC_E_OK) {
      failed_ = true;
      return -1;
    }
    // Header, data and trailer as the TLS stack sized them, one after the other.
    std::vector<std::uint8_t> wire;
    for (int i = 0; i < 3; ++i) {
      const auto* p = static_cast<const std::uint8_t*>(b[i].pvBuffer);
      wire.insert(wire.end(), p, p + b[i].cbBuffer);
    }
    if (send_raw(s_, wire.data(), wire.size(), d) != Io::Done) {
      failed_ = true;  // part of a record may be out: the session cannot go on
      return -1;
    }
    done += n;
  }
  return static_cast<long>(done);
}

void SchannelSession::send_close_notify() {
  DWORD type = SCHANNEL_SHUTDOWN;
  SecBuffer in{sizeof type, SECBUFFER_TOKEN, &type};
  SecBufferDesc in_desc{SECBUFFER_VERSION, 1, &in};
  if (ApplyControlToken(&ctx_, &in_desc) != SEC_E_OK) return;
  SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
  SecBufferDesc out_desc{SECBUFFER_VERSION, 1, &out};
  ULONG attributes = 0;
  InitializeSecurityContextW(&cred_, &ctx_, target(), request_, 0, 0, nullptr, 0, nullptr, &out_desc, &attributes,
                             nullptr);
  send_token(out, Deadline::after(kCloseNotifyMs));
}

void SchannelSession::close() {
  if (has_ctx_) {
    if (open_ && !failed_) send_close_notify();
    DeleteSecurityContext(&ctx_);
    has_ctx_ = false;
  }
  if (has_cred_) {
    FreeCredentialsHandle(&cred_);
    has_cred_ = false;
  }
  open_ = false;
  socket_.reset();
  plain_.clear();
  plain_at_ = 0;
  incoming_.clear();
}

// The identity the server's certificate must carry, and the SNI name.
Done peer_identity(const ClientOptions& options, PeerIdentity& peer, std::string& sni) {
  if (options.peer_name ? options.peer_name->empty() : !net::parse_ipv4(options.peer_address)) {
    return Done::failure("no peer identity to verify (a dotted IPv4 address or a host name is needed)");
  }
  if (!options.peer_name) {
    peer.address = *net::parse_ipv4(options.peer_address);
    return {};
  }
  const std::string& name = *options.peer_name;
  if (const auto ip = net::parse_ipv4(name)) {  // an address given as the name
    peer.address = *ip;
    return {};
  }
  const bool plain =
      name.front() != '.' && std::all_of(name.begin(), name.end(), [](char c) { return c > 0x20 && c < 0x7F; });
  if (!plain) {
    return Done::failure("not a usable peer name: " + name);
  }
  peer.by_address = false;
  peer.host = name;
  sni = name;
  return {};
}

}  // namespace

Result<std::unique_ptr<Session>> connect(std::unique_ptr<net::Socket> socket, const ClientOptions& options) {
  using Opened = Result<std::unique_ptr<Session>>;
  if (!socket) return Opened::failure("no socket");
  PeerIdentity peer;
  std::string sni;
  if (auto identified = peer_identity(options, peer, sni); !identified) return Opened::failure(identified.why());
  std::unique_ptr<TrustAnchors> anchors;
  if (options.ca_file) {
    auto loaded = TrustAnchors::load(*options.ca_file);
    if (!loaded) return Opened::failure(loaded.why());
    anchors = std::move(*loaded);
  }
  auto session = std::make_unique<SchannelSession>(std::move(socket));
  if (auto opened = session->open(anchors.get(), peer, sni, options.handshake_timeout_ms); !opened) {
    return Opened::failure(opened.why());
  }
  return std::unique_ptr<Session>(std::move(session));
}

}  // namespace pink::tls
