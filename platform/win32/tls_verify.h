// The Windows TLS client's checks of the server's certificate: the chain
// built by the system's chain engine (to the system's roots, or only to the
// trust anchors of a PEM file), the TLS server policy, and the peer's
// address or name. Windows build only; used by platform/win32/tls.cpp.
#pragma once

// The chain parameters with the time limit of fetching missing issuers.
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/result.h"

namespace pink::tls::win32 {

// The certificates of a PEM bundle, in a memory store of their own.
class TrustAnchors {
 public:
  // Reads the file (a cp949 path); on failure the reason.
  static Result<std::unique_ptr<TrustAnchors>> load(const std::string& path);
  ~TrustAnchors();
  TrustAnchors(const TrustAnchors&) = delete;
  TrustAnchors& operator=(const TrustAnchors&) = delete;

  HCERTSTORE store() const noexcept { return store_; }
  // True when `cert` is, byte for byte, one of the anchors.
  bool holds(PCCERT_CONTEXT cert) const;
  const std::string& path() const noexcept { return path_; }

 private:
  TrustAnchors(HCERTSTORE store, std::vector<std::string> der, std::string path)
      : store_(store), der_(std::move(der)), path_(std::move(path)) {}
  HCERTSTORE store_;
  std::vector<std::string> der_;
  std::string path_;
};

// What the server must be: its address (host order) or its host name.
struct PeerIdentity {
  bool by_address = true;
  std::uint32_t address = 0;
  std::string host;
};

// Checks the server's certificate (with the intermediates it sent, in its
// store). "" when it passes, else the reason, starting with "certificate
// verify failed: ". `anchors` null: the system's trusted roots.
std::string verify_server(PCCERT_CONTEXT server, const TrustAnchors* anchors, const PeerIdentity& peer);

}  // namespace pink::tls::win32
