// The parts of platform/tls.h that are the same on every OS.
#include "platform/env.h"
#include "platform/tls.h"

namespace pink::tls {

long Session::send(std::string_view bytes) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  return send(std::span<const std::uint8_t>(p, bytes.size()));
}

ClientOptions ClientOptions::from_environment(std::string peer_address) {
  ClientOptions o;
  o.peer_address = std::move(peer_address);
  o.peer_name = env::get("PINK_TLS_PEERNAME");
  o.ca_file = env::get("PINK_TLS_CAFILE");
  return o;
}

}  // namespace pink::tls
