// A throwaway test PKI built with the OpenSSL API: a CA, a server
// certificate it issued for 127.0.0.1 (and "localhost"), and a second CA that
// issued nothing, as PEM files. Used by the tests and by the payment network
// simulator; never meant for a real network.
#include <fcntl.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "platform/tls_server.h"

namespace pink::tls {
namespace {

struct KeyFree {
  void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct CertFree {
  void operator()(X509* x) const { X509_free(x); }
};
struct BioFree {
  void operator()(BIO* b) const { BIO_free_all(b); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;
using CertPtr = std::unique_ptr<X509, CertFree>;
using BioPtr = std::unique_ptr<BIO, BioFree>;

constexpr long kValidFromSeconds = -3600;          // an hour ago, for clocks a little behind
constexpr long kValidForSeconds = 30L * 24 * 3600;  // 30 days

std::string reason() {
  std::string r;
  while (const unsigned long e = ERR_get_error()) {
    if (r.empty()) {
      const char* t = ERR_reason_error_string(e);
      r = t ? t : "error";
    }
  }
  return r.empty() ? "unknown error" : r;
}

KeyPtr new_key() { return KeyPtr(EVP_EC_gen("P-256")); }

bool add_ext(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX v3;
  X509V3_set_ctx_nodb(&v3);
  X509V3_set_ctx(&v3, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &v3, nid, value);
  if (!ext) return false;
  const bool ok = X509_add_ext(cert, ext, -1) == 1;
  X509_EXTENSION_free(ext);
  return ok;
}

// Signs the certificate; with an EC key, again until both halves of the
// signature (r and s) are as long as the curve's order. Shorter halves are
// valid and rare (one signature in 128), but some verifiers get them wrong
// (Wine's certificate code refuses such signatures), and a test PKI must be
// accepted by every verifier the tests run.
bool sign(X509* cert, EVP_PKEY* key) {
  constexpr int kTries = 64;
  const int half = (EVP_PKEY_get_bits(key) + 7) / 8;
  for (int i = 0; i < kTries; ++i) {
    if (X509_sign(cert, key, EVP_sha256()) <= 0) return false;
    if (EVP_PKEY_get_base_id(key) != EVP_PKEY_EC) return true;
    const ASN1_BIT_STRING* signature = nullptr;
    X509_get0_signature(&signature, nullptr, cert);
    const unsigned char* p = signature ? ASN1_STRING_get0_data(signature) : nullptr;
    ECDSA_SIG* sig = p ? d2i_ECDSA_SIG(nullptr, &p, ASN1_STRING_length(signature)) : nullptr;
    if (!sig) return false;
    const BIGNUM* r = nullptr;
    const BIGNUM* s = nullptr;
    ECDSA_SIG_get0(sig, &r, &s);
    const bool full = BN_num_bytes(r) == half && BN_num_bytes(s) == half;
    ECDSA_SIG_free(sig);
    if (full) return true;
  }
  return false;
}

struct CertRecipe {
  const char* common_name;
  bool ca;
  const char* subject_alt_name;  // null for none
};

// Builds a certificate for `key`, issued by `issuer` with `issuer_key`
// (both null: self-signed).
CertPtr make_cert(const CertRecipe& recipe, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuer_key) {
  CertPtr cert(X509_new());
  if (!cert) return nullptr;
  X509* x = cert.get();
  std::uint64_t serial = 0;
  if (RAND_bytes(reinterpret_cast<unsigned char*>(&serial), sizeof serial) != 1) return nullptr;
  serial = (serial >> 1) | 1u;  // positive and never zero
  if (X509_set_version(x, X509_VERSION_3) != 1 || ASN1_INTEGER_set_uint64(X509_get_serialNumber(x), serial) != 1 ||
      !X509_gmtime_adj(X509_getm_notBefore(x), kValidFromSeconds) ||
      !X509_gmtime_adj(X509_getm_notAfter(x), kValidForSeconds)) {
    return nullptr;
  }
  X509_NAME* name = X509_get_subject_name(x);
  const auto* org = reinterpret_cast<const unsigned char*>("pink test PKI");
  const auto* cn = reinterpret_cast<const unsigned char*>(recipe.common_name);
  if (X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, org, -1, -1, 0) != 1 ||
      X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, cn, -1, -1, 0) != 1) {
    return nullptr;
  }
  X509* signer = issuer ? issuer : x;
  if (X509_set_issuer_name(x, X509_get_subject_name(signer)) != 1 || X509_set_pubkey(x, key) != 1) return nullptr;

  bool ok = add_ext(x, signer, NID_subject_key_identifier, "hash") &&
            add_ext(x, signer, NID_authority_key_identifier, "keyid:always");
  if (recipe.ca) {
    ok = ok && add_ext(x, signer, NID_basic_constraints, "critical,CA:TRUE") &&
         add_ext(x, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    ok = ok && add_ext(x, signer, NID_basic_constraints, "critical,CA:FALSE") &&
         add_ext(x, signer, NID_key_usage, "critical,digitalSignature") &&
         add_ext(x, signer, NID_ext_key_usage, "serverAuth");
  }
  if (recipe.subject_alt_name) ok = ok && add_ext(x, signer, NID_subject_alt_name, recipe.subject_alt_name);
  if (!ok) return nullptr;
  if (!sign(x, issuer_key ? issuer_key : key)) return nullptr;
  return cert;
}

Result<void> write_cert(const std::string& path, X509* cert) {
  BioPtr bio(BIO_new_file(path.c_str(), "w"));
  if (!bio || PEM_write_bio_X509(bio.get(), cert) != 1) {
    return Result<void>::failure("cannot write " + path + ": " + reason());
  }
  return {};
}

// The key file is created for its owner only, before anything is written.
Result<void> write_key(const std::string& path, EVP_PKEY* key) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0 || ::fchmod(fd, 0600) != 0) {
    if (fd >= 0) ::close(fd);
    return Result<void>::failure("cannot write " + path);
  }
  BioPtr bio(BIO_new_fd(fd, BIO_CLOSE));
  if (!bio) {
    ::close(fd);
    return Result<void>::failure("cannot write " + path);
  }
  if (PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1) {
    return Result<void>::failure("cannot write " + path + ": " + reason());
  }
  return {};
}

}  // namespace

Result<TestPki> make_test_pki(const std::string& folder) {
  ERR_clear_error();
  TestPki pki;
  pki.ca_cert = folder + "/ca.pem";
  pki.server_cert = folder + "/server.pem";
  pki.server_key = folder + "/server.key";
  pki.other_ca_cert = folder + "/other-ca.pem";

  KeyPtr ca_key = new_key(), server_key = new_key(), other_key = new_key();
  if (!ca_key || !server_key || !other_key) {
    return Result<TestPki>::failure("cannot generate keys: " + reason());
  }
  CertPtr ca = make_cert({"pink test CA", true, nullptr}, ca_key.get(), nullptr, nullptr);
  CertPtr other = ca ? make_cert({"pink other test CA", true, nullptr}, other_key.get(), nullptr, nullptr) : nullptr;
  CertPtr server = ca ? make_cert({"127.0.0.1", false, "IP:127.0.0.1,DNS:localhost"}, server_key.get(), ca.get(),
                                  ca_key.get())
                      : nullptr;
  if (!ca || !other || !server) {
    return Result<TestPki>::failure("cannot build the certificates: " + reason());
  }
  // Written in order; the first that fails stops the rest.
  Result<void> written = write_cert(pki.ca_cert, ca.get());
  if (written) written = write_cert(pki.other_ca_cert, other.get());
  if (written) written = write_cert(pki.server_cert, server.get());
  if (written) written = write_key(pki.server_key, server_key.get());
  if (!written) return Result<TestPki>::failure(written.why());
  return pki;
}

}  // namespace pink::tls
