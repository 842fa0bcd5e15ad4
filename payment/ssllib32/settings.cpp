#include "payment/ssllib32/settings.h"

#include "platform/dynlib.h"
#include "platform/env.h"
#include "platform/ini.h"

namespace pink::ssllib32 {

bool is_absolute_path(std::string_view path) {
  if (path.empty()) return false;
  if (path[0] == '/' || path[0] == '\\') return true;
  const char c = path[0];
  return path.size() >= 2 && path[1] == ':' && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
}

tls::ClientOptions client_options(std::string peer_address, const TrustSources& sources,
                                  std::string (*beside_library)(std::string_view)) {
  tls::ClientOptions o;
  o.peer_address = std::move(peer_address);
  o.ca_file = sources.env_ca_file;
  if (!o.ca_file && !sources.ini_ca_file.empty()) {
    o.ca_file = is_absolute_path(sources.ini_ca_file) ? sources.ini_ca_file : beside_library(sources.ini_ca_file);
  }
  o.peer_name = sources.env_peer_name;
  if (!o.peer_name && !sources.ini_peer_name.empty()) o.peer_name = sources.ini_peer_name;
  return o;
}

std::string handshake_failure_text(const tls::ClientOptions& options, std::string_view reason,
                                   std::string_view ini_path) {
  std::string line = "the TLS session with " + options.peer_address + " failed: " +
                     (reason.empty() ? std::string("no reason given") : std::string(reason));
  if (reason.find("verif") == std::string_view::npos) return line;
  const std::string ini(ini_path);
  line += "; the network's certificate was not trusted. Trust anchors: " +
          (options.ca_file ? *options.ca_file : std::string("the system trust store")) +
          " (set by PINK_TLS_CAFILE, else CAFile= in [" + std::string(kIniSection) + "] of " + ini +
          "); name checked: " + options.peer_name.value_or(options.peer_address) +
          " (set by PINK_TLS_PEERNAME, else PeerName= there)";
  return line;
}

TrustSources read_trust_sources() {
  TrustSources s;
  s.env_ca_file = env::get("PINK_TLS_CAFILE");
  s.env_peer_name = env::get("PINK_TLS_PEERNAME");
  const std::string ini = dynlib::beside_module(kIniFile);
  s.ini_ca_file = ini::read(ini, kIniSection, kIniCaFile);
  s.ini_peer_name = ini::read(ini, kIniSection, kIniPeerName);
  return s;
}

}  // namespace pink::ssllib32
