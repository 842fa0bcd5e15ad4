#include <algorithm>
#include "platform/common/tls_rules.h"

#include <array>

namespace pink::tls::rules {
namespace {

constexpr std::string_view kBegin = "-----BEGIN ";
constexpr std::string_view kDashes = "-----";
constexpr std::string_view kCertificateLabel = "CERTIFICATE";


// The value of a base64 character, or -1.
int base64_value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equal_nocase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// A label a wildcard may stand for: letters, digits and hyphens, not empty.
bool plain_label(std::string_view label) {
  if (label.empty()) return false;
  for (char c : label) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
    if (!ok) return false;
  }
  return true;
}

std::size_t count_dots(std::string_view s) {
  std::size_t n = 0;
  for (char c : s) n += c == '.' ? 1 : 0;
  return n;
}

// One block "-----BEGIN <label>-----" ... "-----END <label>-----" starting
// at `at`: its label and body, and where the text goes on after it.
struct Block {
  std::string_view label;
  std::string_view body;
  std::size_t next = 0;
};

Result<Block> read_block(std::string_view pem, std::size_t at) {
  const std::size_t label_at = at + kBegin.size();
  const std::size_t label_end = pem.find(kDashes, label_at);
  const std::size_t line_end = pem.find('\n', label_at);
  if (label_end == std::string_view::npos || (line_end != std::string_view::npos && line_end < label_end)) {
    return Result<Block>::failure("a BEGIN line is not complete");
  }
  Block b;
  b.label = pem.substr(label_at, label_end - label_at);
  const std::string end_line = "-----END " + std::string(b.label) + "-----";
  const std::size_t body_at = label_end + kDashes.size();
  const std::size_t end_at = pem.find(end_line, body_at);
  if (end_at == std::string_view::npos) {
    return Result<Block>::failure("a " + std::string(b.label) + " block has no END line");
  }
  b.body = pem.substr(body_at, end_at - body_at);
  b.next = end_at + end_line.size();
  return b;
}

}  // namespace

std::optional<std::string> base64_decode(std::string_view text) {
  std::string out;
  std::uint32_t bits = 0;
  int nbits = 0;
  std::size_t chars = 0, padding = 0;
  for (char c : text) {
    if (is_blank(c)) continue;
    if (c == '=') {
      ++padding;
      ++chars;
      continue;
    }
    const int v = base64_value(c);
    if (v < 0 || padding > 0) return std::nullopt;  // a stray byte, or data after the padding
    ++chars;
    bits = (bits << 6) | static_cast<std::uint32_t>(v);
    nbits += 6;
    if (nbits >= 8) {
      nbits -= 8;
      out.push_back(static_cast<char>((bits >> nbits) & 0xFFu));
    }
  }
  if (chars % 4 != 0 || padding > 2) return std::nullopt;
  // The padding must stand for exactly the bits left over, and those are zero.
  if ((padding == 1 && nbits != 2) || (padding == 2 && nbits != 4) || (padding == 0 && nbits != 0)) {
    return std::nullopt;
  }
  if ((bits & ((1u << nbits) - 1u)) != 0) return std::nullopt;
  return out;
}

Result<std::vector<std::string>> pem_certificates(std::string_view pem) {
  using Certificates = Result<std::vector<std::string>>;
  std::vector<std::string> certificates;
  std::size_t at = 0;
  while ((at = pem.find(kBegin, at)) != std::string_view::npos) {
    const auto block = read_block(pem, at);
    if (!block) return Certificates::failure(block.why());
    at = block->next;
    if (block->label != kCertificateLabel) continue;
    auto der = base64_decode(block->body);
    if (!der || der->empty()) {
      return Certificates::failure("certificate " + std::to_string(certificates.size() + 1) + " is not valid base64");
    }
    certificates.push_back(std::move(*der));
  }
  return certificates;
}

bool host_matches(std::string_view pattern, std::string_view host) {
  if (pattern.empty() || host.empty() || host.front() == '.') return false;
  if (pattern.find('\0') != std::string_view::npos || host.find('\0') != std::string_view::npos) return false;
  if (pattern.find('*') == std::string_view::npos) return equal_nocase(pattern, host);
  // Only "*." followed by at least two labels, and no other star.
  if (pattern.size() < 2 || pattern[0] != '*' || pattern[1] != '.') return false;
  const std::string_view rest = pattern.substr(1);  // ".example.com"
  if (rest.find('*') != std::string_view::npos || count_dots(rest) < 2) return false;
  const std::size_t dot = host.find('.');
  if (dot == std::string_view::npos) return false;
  return plain_label(host.substr(0, dot)) && equal_nocase(rest, host.substr(dot));
}

bool names_address(const CertificateNames& names, std::uint32_t ipv4) {
  const std::array<char, 4> want{static_cast<char>(ipv4 >> 24), static_cast<char>(ipv4 >> 16),
                                 static_cast<char>(ipv4 >> 8), static_cast<char>(ipv4)};
  for (const auto& ip : names.ip_addresses) {
    if (ip.size() == want.size() && std::equal(want.begin(), want.end(), ip.begin())) return true;
  }
  return false;
}

bool names_host(const CertificateNames& names, std::string_view host) {
  const auto& patterns = names.dns_names.empty() ? names.common_names : names.dns_names;
  for (const auto& p : patterns) {
    if (host_matches(p, host)) return true;
  }
  return false;
}

}  // namespace pink::tls::rules
