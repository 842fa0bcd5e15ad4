// The OS-independent rules of the TLS client that the Windows side applies
// itself (OpenSSL applies the same ones on Linux): reading the certificates
// of a PEM bundle of trust anchors, and deciding whether a certificate names
// the peer. Pure functions over bytes; no I/O.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace pink::tls::rules {

// The DER encodings of the "CERTIFICATE" blocks of a PEM text, in order.
// Blocks of other kinds (keys, CRLs) are skipped. A certificate block that
// is not well formed (no end line, bad base64, empty) makes the whole text
// unusable: a failure with the reason. A text without any certificate block
// gives an empty list.
Result<std::vector<std::string>> pem_certificates(std::string_view pem);

// Strict base64 (RFC 4648 alphabet, "=" padding only at the end); blanks and
// line ends between characters are skipped. Nothing when malformed.
std::optional<std::string> base64_decode(std::string_view text);

// The names a certificate carries, as far as peer checks use them.
struct CertificateNames {
  // subjectAltName dNSName entries, as written (ASCII); an entry that is not
  // plain ASCII is kept as an empty text, which matches nothing.
  std::vector<std::string> dns_names;
  // subjectAltName iPAddress entries: 4 bytes (IPv4) or 16 (IPv6).
  std::vector<std::string> ip_addresses;
  // The subject's common names; used only when there is no dNSName entry.
  std::vector<std::string> common_names;
};

// True when the certificate is issued to the IPv4 address (host order, as
// net::parse_ipv4 gives it): an iPAddress entry of exactly those 4 bytes.
// Common names are never taken for addresses.
bool names_address(const CertificateNames& names, std::uint32_t ipv4);

// True when the certificate is issued to the host name: one of its dNSName
// entries (or, when it has none, one of its common names) matches without
// regard to ASCII case. A wildcard is honoured only as the whole left-most
// label of a name of at least three labels ("*.example.com"), and stands for
// exactly one non-empty label of letters, digits and hyphens. A host name
// that starts with a dot matches nothing (it names no host).
bool names_host(const CertificateNames& names, std::string_view host);

// One name pattern of a certificate against a host name, by the rules above.
bool host_matches(std::string_view pattern, std::string_view host);

}  // namespace pink::tls::rules
