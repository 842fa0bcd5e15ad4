// The test PKI must be accepted by every verifier the tests run, the Windows
// one under Wine included, which refuses ECDSA signatures whose r or s is
// shorter than the curve's 32 bytes (a valid signature, one in 128).
#include <openssl/ecdsa.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/tls_server.h"
#include "tools/testkit/testkit.h"

namespace pink {
namespace {

// The byte lengths of r and s of a certificate's signature, as "r/s".
std::string halves(const std::string& pem_file) {
  FILE* f = std::fopen(pem_file.c_str(), "r");
  if (!f) return "unreadable";
  X509* x = PEM_read_X509(f, nullptr, nullptr, nullptr);
  std::fclose(f);
  const ASN1_BIT_STRING* signature = nullptr;
  if (x) X509_get0_signature(&signature, nullptr, x);
  const unsigned char* p = signature ? ASN1_STRING_get0_data(signature) : nullptr;
  ECDSA_SIG* sig = p ? d2i_ECDSA_SIG(nullptr, &p, ASN1_STRING_length(signature)) : nullptr;
  std::string out = "no ECDSA signature";
  if (sig) {
    const BIGNUM *r = nullptr, *s = nullptr;
    ECDSA_SIG_get0(sig, &r, &s);
    out = std::to_string(BN_num_bytes(r)) + "/" + std::to_string(BN_num_bytes(s));
  }
  ECDSA_SIG_free(sig);
  X509_free(x);
  return out;
}

TEST(TestPki, EverySignatureHasFullLengthHalves) {
  // 100 PKIs, 300 signatures: without the care taken, one of them would
  // come out short nine times in ten.
  for (int i = 0; i < 100; ++i) {
    testkit::TempDir dir;
    const auto pki = tls::make_test_pki(dir.path());
    ASSERT_TRUE(pki) << pki.why();
    for (const auto& cert : {pki->ca_cert, pki->server_cert, pki->other_ca_cert}) {
      ASSERT_EQ(halves(cert), "32/32") << cert << " of PKI " << i;
    }
  }
}

}  // namespace
}  // namespace pink
