// The rules the Windows TLS client applies itself (PEM trust anchors, the
// peer's name and address), checked against OpenSSL, which applies them on
// Linux, as an independent oracle: both sides must accept and refuse the
// same servers.
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/common/tls_rules.h"
#include "platform/socket.h"
#include "tests/tls/loopback_server.h"

namespace pink {
namespace {

namespace rules = tls::rules;

struct X509Free {
  void operator()(X509* x) const { X509_free(x); }
};
using CertPtr = std::unique_ptr<X509, X509Free>;

// A certificate with the given subject common name and subjectAltName
// (OpenSSL's "DNS:a,IP:1.2.3.4" form; empty: none). Unsigned: only its names
// are looked at.
CertPtr certificate(const std::string& common_name, const std::string& alt_names) {
  CertPtr cert(X509_new());
  X509_NAME* name = X509_get_subject_name(cert.get());
  if (!common_name.empty()) {
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(common_name.c_str()),
                               -1, -1, 0);
  }
  if (!alt_names.empty()) {
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, nullptr, NID_subject_alt_name, alt_names.c_str());
    EXPECT_NE(ext, nullptr) << alt_names;
    if (ext) {
      X509_add_ext(cert.get(), ext, -1);
      X509_EXTENSION_free(ext);
    }
  }
  return cert;
}

// The names as the Windows side reads them out of a certificate.
rules::CertificateNames names_of(const std::string& common_name, const std::vector<std::string>& dns,
                                 const std::vector<std::uint32_t>& ips) {
  rules::CertificateNames n;
  n.dns_names = dns;
  for (std::uint32_t ip : ips) {
    n.ip_addresses.push_back({static_cast<char>(ip >> 24), static_cast<char>(ip >> 16), static_cast<char>(ip >> 8),
                              static_cast<char>(ip)});
  }
  if (!common_name.empty()) n.common_names.push_back(common_name);
  return n;
}

bool openssl_host(X509* cert, const std::string& host) {
  return X509_check_host(cert, host.data(), host.size(), X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS, nullptr) == 1;
}

TEST(TlsRules, HostNamesMatchAsOpenSslMatchesThem) {
  const std::vector<std::string> patterns{"payments.example.com", "*.example.com", "*.com", "*", "pay*.example.com",
                                          "*.*.example.com", "a.*.example.com", "PAYMENTS.Example.COM",
                                          "*.xn--bcher-kva.example", "localhost", "*.localhost"};
  const std::vector<std::string> hosts{"payments.example.com", "PAYMENTS.EXAMPLE.COM", "payments.example.com.",
                                       "example.com", "a.b.example.com", "pay1.example.com",
                                       "com", "x.com", "localhost", "a.localhost", "x.xn--bcher-kva.example",
                                       "pay_ments.example.com", "payments.example.co", "-.example.com", ""};
  // (Names with a leading dot are refused as peer names on both sides before
  // any matching: OpenSSL would take them for "any name below".)
  for (const auto& p : patterns) {
    const CertPtr cert = certificate("", "DNS:" + p);
    for (const auto& h : hosts) {
      EXPECT_EQ(rules::host_matches(p, h), openssl_host(cert.get(), h)) << p << " vs " << h;
    }
  }
}

TEST(TlsRules, CommonNameCountsOnlyWithoutDnsNamesAndNeverForAddresses) {
  const struct {
    std::string cn, alt;
    rules::CertificateNames names;
  } certs[] = {
      {"payments.example.com", "", names_of("payments.example.com", {}, {})},
      {"payments.example.com", "DNS:other.example.com", names_of("payments.example.com", {"other.example.com"}, {})},
      {"payments.example.com", "IP:10.1.2.3", names_of("payments.example.com", {}, {0x0A010203})},
      {"10.1.2.3", "", names_of("10.1.2.3", {}, {})},
      {"", "IP:10.1.2.3,IP:127.0.0.1,DNS:localhost", names_of("", {"localhost"}, {0x0A010203, 0x7F000001})},
  };
  for (const auto& c : certs) {
    const CertPtr cert = certificate(c.cn, c.alt);
    for (const std::string host : {"payments.example.com", "other.example.com", "localhost"}) {
      EXPECT_EQ(rules::names_host(c.names, host), openssl_host(cert.get(), host)) << c.cn << "/" << c.alt << " " << host;
    }
    for (const std::string ip : {"10.1.2.3", "127.0.0.1", "10.1.2.4"}) {
      EXPECT_EQ(rules::names_address(c.names, *net::parse_ipv4(ip)),
                X509_check_ip_asc(cert.get(), ip.c_str(), 0) == 1)
          << c.cn << "/" << c.alt << " " << ip;
    }
  }
  // A name that is not plain ASCII is kept empty and matches nothing; an
  // IPv6 entry is no IPv4 address.
  rules::CertificateNames odd;
  odd.dns_names = {""};
  odd.ip_addresses = {std::string(16, '\0')};
  odd.common_names = {"localhost"};
  EXPECT_FALSE(rules::names_host(odd, "localhost"));
  EXPECT_FALSE(rules::names_address(odd, 0));
  EXPECT_FALSE(rules::host_matches("local\0host", std::string_view("local\0host", 10)));
}

TEST(TlsRules, ADomainIsNoPeerName) {
  auto listener = net::listen("127.0.0.1", 0);
  ASSERT_TRUE(listener);
  tls::ClientOptions o;
  o.peer_address = "127.0.0.1";
  o.peer_name = ".localhost";
  auto socket = net::connect("127.0.0.1", listener->port(), 5000);
  ASSERT_TRUE(socket) << socket.why();
  const auto session = tls::connect(std::move(*socket), o);
  EXPECT_FALSE(session);
  EXPECT_EQ(session.why(), "not a usable peer name: .localhost");
  EXPECT_TRUE(rules::names_host(names_of("", {"*.example.com"}, {}), "a.example.com"));
  EXPECT_FALSE(rules::names_host(names_of("", {"*.example.com"}, {}), ".example.com"));
}

TEST(TlsRules, PemBundlesGiveTheCertificatesOpenSslReads) {
  testing::Pki pki;
  const std::string ca = pki.dir.read("ca.pem"), other = pki.dir.read("other-ca.pem");
  const std::string key = pki.dir.read("server.key");
  // The DER of the first certificate of a PEM text, as OpenSSL reads it.
  auto openssl_der = [](const std::string& pem) {
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    X509* x = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    unsigned char* der = nullptr;
    const int n = x ? i2d_X509(x, &der) : 0;
    std::string out(reinterpret_cast<const char*>(der), n > 0 ? static_cast<std::size_t>(n) : 0);
    OPENSSL_free(der);
    X509_free(x);
    return out;
  };
  // A key between the certificates and CR LF line ends change nothing.
  std::string crlf;
  for (char c : other) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const auto bundle = rules::pem_certificates("comment line\n" + ca + key + crlf);
  ASSERT_TRUE(bundle.ok()) << bundle.why();
  ASSERT_EQ(bundle->size(), 2u);
  EXPECT_EQ((*bundle)[0], openssl_der(ca));
  EXPECT_EQ((*bundle)[1], openssl_der(other));
  EXPECT_EQ(rules::pem_certificates(key)->size(), 0u);

  // A damaged certificate block makes the whole text unusable.
  std::string no_end = ca.substr(0, ca.find("-----END"));
  const auto unended = rules::pem_certificates(other + no_end);
  EXPECT_FALSE(unended.ok());
  EXPECT_NE(unended.why().find("no END line"), std::string::npos) << unended.why();
  std::string bad_char = ca;
  bad_char[bad_char.find('\n') + 5] = '*';
  const auto damaged = rules::pem_certificates(bad_char);
  EXPECT_FALSE(damaged.ok());
  EXPECT_NE(damaged.why().find("certificate 1 is not valid base64"), std::string::npos) << damaged.why();
  EXPECT_FALSE(rules::pem_certificates("-----BEGIN CERTIFICATE-----\n-----END CERTIFICATE-----\n").ok());
  EXPECT_FALSE(rules::pem_certificates("-----BEGIN CERTIFICATE\nMIIB\n").ok());
}

TEST(TlsRules, Base64IsStrict) {
  EXPECT_EQ(rules::base64_decode("TWFu"), "Man");
  EXPECT_EQ(rules::base64_decode("TWE=\r\n"), "Ma");
  EXPECT_EQ(rules::base64_decode(" T W\tE\n= "), "Ma");
  EXPECT_EQ(rules::base64_decode("TQ=="), "M");
  EXPECT_EQ(rules::base64_decode(""), "");
  for (const char* bad : {"TWF", "TQ=", "TQ===", "T===", "====", "TW=u", "TWE=TWFu", "TR==", "TWF*", "TWE\x80"}) {
    EXPECT_FALSE(rules::base64_decode(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace pink
