// Verification of a TLS server's certificate with CryptoAPI.
//
// The chain is built by the system's chain engine from the server's
// certificate, the intermediates it sent and, when a trust-anchor file is
// used, the anchors of that file. With anchors, the chain must end at one of
// them (byte for byte): a chain to any other root, the system's included, is
// refused, as OpenSSL does with a CA file on Linux. Then the TLS server policy
// of the system is applied (usage, validity), and last the peer's address or
// name is checked by the suite's own rules (platform/common/tls_rules.h), the
// same on every Windows version and under Wine. Revocation is not checked,
// as on Linux.
#include "platform/win32/tls_verify.h"

#include <cstdio>
#include <cstring>

#include "platform/common/tls_rules.h"
#include "platform/files.h"

namespace pink::tls::win32 {
namespace {

constexpr const char* kFailed = "certificate verify failed: ";
constexpr DWORD kUrlRetrievalMs = 15000;  // fetching a missing issuer, with the system store
// Policy check flags (from the WinHTTP/WinINet headers, not included here).
constexpr DWORD kIgnoreUnknownCa = 0x00000100;
constexpr DWORD kIgnoreCommonNameInvalid = 0x00001000;

struct TrustError {
  DWORD flag;
  const char* text;
};

// The chain errors, in the order they are reported (the first that applies).
constexpr TrustError kTrustErrors[] = {
    {CERT_TRUST_IS_NOT_SIGNATURE_VALID, "a signature in the chain does not verify"},
    {CERT_TRUST_IS_PARTIAL_CHAIN, "the issuer of a certificate in the chain is unknown"},
    {CERT_TRUST_IS_UNTRUSTED_ROOT, "the chain ends at a root that is not trusted"},
    {CERT_TRUST_IS_NOT_TIME_VALID, "a certificate of the chain has expired or is not valid yet"},
    {CERT_TRUST_IS_REVOKED, "a certificate of the chain is revoked"},
    {CERT_TRUST_IS_EXPLICIT_DISTRUST, "a certificate of the chain is distrusted"},
    {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, "the certificate is not meant for TLS servers"},
    {CERT_TRUST_INVALID_BASIC_CONSTRAINTS, "a certificate that is no CA issued another"},
    {CERT_TRUST_IS_CYCLIC, "the chain is cyclic"},
    {CERT_TRUST_INVALID_EXTENSION, "a certificate carries an invalid extension"},
    {CERT_TRUST_HAS_NOT_SUPPORTED_CRITICAL_EXT, "a certificate carries an unknown critical extension"},
    {CERT_TRUST_INVALID_NAME_CONSTRAINTS | CERT_TRUST_HAS_NOT_PERMITTED_NAME_CONSTRAINT |
         CERT_TRUST_HAS_EXCLUDED_NAME_CONSTRAINT | CERT_TRUST_HAS_NOT_DEFINED_NAME_CONSTRAINT |
         CERT_TRUST_HAS_NOT_SUPPORTED_NAME_CONSTRAINT,
     "a name constraint of the chain is violated"},
    {CERT_TRUST_INVALID_POLICY_CONSTRAINTS, "a policy constraint of the chain is violated"},
    {CERT_TRUST_HAS_WEAK_SIGNATURE, "a signature in the chain uses a weak algorithm"},
};

// Revocation is not asked for, so its "unknown" states are no errors.
constexpr DWORD kNotAsked = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

std::string describe_errors(DWORD errors) {
  for (const auto& e : kTrustErrors) {
    if (errors & e.flag) return e.text;
  }
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(errors));
  return std::string("the chain has errors 0x") + hex;
}

// A wide name of a certificate as ASCII; anything else becomes "", which
// matches no peer.
std::string ascii_name(const wchar_t* w, std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    if (w[i] < 0x21 || w[i] > 0x7E) return {};
    s.push_back(static_cast<char>(w[i]));
  }
  return s;
}

template <typename T>
struct LocalBlock {
  T* p = nullptr;
  ~LocalBlock() {
    if (p) LocalFree(p);
  }
};

// The subjectAltName entries; false when the extension cannot be read.
bool read_alt_names(PCCERT_CONTEXT cert, rules::CertificateNames& names) {
  const CERT_INFO* info = cert->pCertInfo;
  for (const char* oid : {szOID_SUBJECT_ALT_NAME2, szOID_SUBJECT_ALT_NAME}) {
    const CERT_EXTENSION* ext = CertFindExtension(oid, info->cExtension, info->rgExtension);
    if (ext == nullptr) continue;
    LocalBlock<CERT_ALT_NAME_INFO> alt;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, ext->Value.pbData, ext->Value.cbData,
                             CRYPT_DECODE_ALLOC_FLAG, nullptr, &alt.p, &size)) {
      return false;
    }
    for (DWORD i = 0; i < alt.p->cAltEntry; ++i) {
      const CERT_ALT_NAME_ENTRY& e = alt.p->rgAltEntry[i];
      if (e.dwAltNameChoice == CERT_ALT_NAME_DNS_NAME && e.pwszDNSName != nullptr) {
        names.dns_names.push_back(ascii_name(e.pwszDNSName, std::wcslen(e.pwszDNSName)));
      } else if (e.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS) {
        names.ip_addresses.emplace_back(reinterpret_cast<const char*>(e.IPAddress.pbData), e.IPAddress.cbData);
      }
    }
    return true;
  }
  return true;
}

// The subject's common names; false when the subject cannot be read.
bool read_common_names(PCCERT_CONTEXT cert, rules::CertificateNames& names) {
  const CERT_NAME_BLOB& subject = cert->pCertInfo->Subject;
  LocalBlock<CERT_NAME_INFO> name;
  DWORD size = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_UNICODE_NAME, subject.pbData, subject.cbData,
                           CRYPT_DECODE_ALLOC_FLAG, nullptr, &name.p, &size)) {
    return false;
  }
  for (DWORD i = 0; i < name.p->cRDN; ++i) {
    const CERT_RDN& rdn = name.p->rgRDN[i];
    for (DWORD j = 0; j < rdn.cRDNAttr; ++j) {
      const CERT_RDN_ATTR& a = rdn.rgRDNAttr[j];
      if (a.pszObjId == nullptr || std::strcmp(a.pszObjId, szOID_COMMON_NAME) != 0) continue;
      names.common_names.push_back(
          ascii_name(reinterpret_cast<const wchar_t*>(a.Value.pbData), a.Value.cbData / sizeof(wchar_t)));
    }
  }
  return true;
}

std::string check_peer(PCCERT_CONTEXT cert, const PeerIdentity& peer) {
  rules::CertificateNames names;
  if (!read_alt_names(cert, names) || !read_common_names(cert, names)) {
    return std::string(kFailed) + "the names of the certificate cannot be read";
  }
  if (peer.by_address) {
    if (rules::names_address(names, peer.address)) return {};
    return std::string(kFailed) + "the certificate is not issued to the address connected to";
  }
  if (rules::names_host(names, peer.host)) return {};
  return std::string(kFailed) + "the certificate is not issued to " + peer.host;
}

struct StoreCloser {
  HCERTSTORE s;
  ~StoreCloser() {
    if (s) CertCloseStore(s, 0);
  }
};

struct ChainFreer {
  PCCERT_CHAIN_CONTEXT c = nullptr;
  ~ChainFreer() {
    if (c) CertFreeCertificateChain(c);
  }
};

// Builds the chain; null when it cannot be built at all.
PCCERT_CHAIN_CONTEXT build_chain(PCCERT_CONTEXT server, const TrustAnchors* anchors) {
  StoreCloser extra{CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr)};
  if (!extra.s) return nullptr;
  if (server->hCertStore) CertAddStoreToCollection(extra.s, server->hCertStore, 0, 0);
  if (anchors) CertAddStoreToCollection(extra.s, anchors->store(), 0, 0);

  LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  para.dwUrlRetrievalTimeout = kUrlRetrievalMs;
  // With anchors of our own nothing is fetched from the network.
  const DWORD flags = anchors ? CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL | CERT_CHAIN_DISABLE_AUTH_ROOT_AUTO_UPDATE : 0;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (!CertGetCertificateChain(nullptr, server, nullptr, extra.s, &para, flags, nullptr, &chain)) return nullptr;
  return chain;
}

std::string check_chain(PCCERT_CHAIN_CONTEXT chain, const TrustAnchors* anchors) {
  if (chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) return std::string(kFailed) + "no chain";
  const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
  PCCERT_CONTEXT root = simple->rgpElement[simple->cElement - 1]->pCertContext;
  DWORD errors = chain->TrustStatus.dwErrorStatus & ~kNotAsked;
  if (anchors) {
    if (!anchors->holds(root)) {
      return std::string(kFailed) + "the chain does not end at a trust anchor of " + anchors->path();
    }
    errors &= ~static_cast<DWORD>(CERT_TRUST_IS_UNTRUSTED_ROOT);
  }
  if (errors != 0) return kFailed + describe_errors(errors);

  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.fdwChecks = kIgnoreCommonNameInvalid | (anchors ? kIgnoreUnknownCa : 0);
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.dwFlags = anchors ? CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG : 0;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status) || status.dwError != 0) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(status.dwError));
    return std::string(kFailed) + "the system's TLS server policy refuses the chain (0x" + hex + ")";
  }
  return {};
}

}  // namespace

Result<std::unique_ptr<TrustAnchors>> TrustAnchors::load(const std::string& path) {
  auto fail = [&](const std::string& why) {
    return Result<std::unique_ptr<TrustAnchors>>::failure("cannot read the trust anchors in " + path + ": " + why);
  };
  // A bundle of every public root is well under a megabyte.
  constexpr std::uint64_t kMaxAnchorFileBytes = 16u * 1024u * 1024u;
  const files::ReadResult file = files::read_all(path, kMaxAnchorFileBytes);
  if (file.status != files::ReadStatus::Ok) return fail("the file cannot be read");
  auto der = rules::pem_certificates(file.bytes);
  if (!der) return fail(der.why());
  if (der->empty()) return fail("no certificate in it");
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr);
  if (!store) return fail("no certificate store");
  for (std::size_t i = 0; i < der->size(); ++i) {
    const std::string& d = (*der)[i];
    if (!CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(d.data()),
                                          static_cast<DWORD>(d.size()), CERT_STORE_ADD_ALWAYS, nullptr)) {
      CertCloseStore(store, 0);
      return fail("certificate " + std::to_string(i + 1) + " is not a valid certificate");
    }
  }
  return std::unique_ptr<TrustAnchors>(new TrustAnchors(store, std::move(*der), path));
}

TrustAnchors::~TrustAnchors() { CertCloseStore(store_, 0); }

bool TrustAnchors::holds(PCCERT_CONTEXT cert) const {
  for (const auto& d : der_) {
    if (d.size() == cert->cbCertEncoded && std::memcmp(d.data(), cert->pbCertEncoded, d.size()) == 0) return true;
  }
  return false;
}

std::string verify_server(PCCERT_CONTEXT server, const TrustAnchors* anchors, const PeerIdentity& peer) {
  if (server == nullptr) return std::string(kFailed) + "the server sent no certificate";
  ChainFreer chain{build_chain(server, anchors)};
  if (!chain.c) return std::string(kFailed) + "no chain can be built (Windows error " + std::to_string(GetLastError()) + ")";
  std::string why = check_chain(chain.c, anchors);
  if (!why.empty()) return why;
  return check_peer(server, peer);
}

}  // namespace pink::tls::win32
