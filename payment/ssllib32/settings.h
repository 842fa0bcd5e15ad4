// Where ssllib32 takes its trust settings from, for every session it starts:
//
//   1. the environment: $PINK_TLS_CAFILE (a PEM file of trust anchors) and
//      $PINK_TLS_PEERNAME (the host name the server's certificate must carry);
//   2. for a setting the environment leaves out, "ssllib32.ini" beside the
//      library, section [ssllib32], keys "CAFile" and "PeerName" (a relative
//      CAFile is taken from the library's folder);
//   3. with no trust-anchor file at all, the system's trust store; with no
//      peer name, the address connected to.
//
// The settings are read again at every session start, so a changed file
// applies to the next connection.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/tls.h"

namespace pink::ssllib32 {

inline constexpr std::string_view kIniFile = "ssllib32.ini";
inline constexpr std::string_view kIniSection = "ssllib32";
inline constexpr std::string_view kIniCaFile = "CAFile";
inline constexpr std::string_view kIniPeerName = "PeerName";

// The settings as found, before they are combined.
struct TrustSources {
  std::optional<std::string> env_ca_file;
  std::optional<std::string> env_peer_name;
  std::string ini_ca_file;    // "" when absent
  std::string ini_peer_name;  // "" when absent
};

// True for "/x", "\x", "\\server\x" and "C:..." paths.
bool is_absolute_path(std::string_view path);

// Combines the sources for a connection to `peer_address`. `beside_library`
// turns a relative CAFile of the INI into the path of that file beside the
// library.
tls::ClientOptions client_options(std::string peer_address, const TrustSources& sources,
                                  std::string (*beside_library)(std::string_view));

// The sources of this process and library now.
TrustSources read_trust_sources();

// One line for people on a failed handshake with `options`: the reason, and
// for a certificate that was not trusted, which trust anchors and peer name
// were used and which settings name them (`ini_path`: the INI file looked at).
std::string handshake_failure_text(const tls::ClientOptions& options, std::string_view reason,
                                   std::string_view ini_path);

}  // namespace pink::ssllib32
