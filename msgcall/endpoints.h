// Where the messaging provider's two servers are: msgcall.ini beside the
// library (section "provider": primary, secondary, port), overridden by
// $PINK_MSG_PRIMARY and $PINK_MSG_SECONDARY ("host" or "host:port"). Without
// any setting: primary 127.0.0.1, secondary localhost, both on port 7744.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pink::msgcall {

inline constexpr std::string_view kSettingsFile = "msgcall.ini";
inline constexpr std::string_view kSettingsSection = "provider";
inline constexpr std::string_view kDefaultPrimary = "127.0.0.1";
inline constexpr std::string_view kDefaultSecondary = "localhost";
inline constexpr std::uint16_t kDefaultPort = 7744;

struct Endpoint {
  std::string host;  // a name (looked up) or a dotted address
  int port = kDefaultPort;  // 0 when the setting is no port number: connecting then fails
};

struct Endpoints {
  Endpoint primary, secondary;
};

// What the settings say; empty texts and nothing count as not set.
struct EndpointSettings {
  std::string ini_primary, ini_secondary, ini_port;
  std::optional<std::string> env_primary, env_secondary;
};

// The rules: a host setting is "host" or "host:port"; the variable wins over
// the file; a host without a port takes the file's port, else 7744. A port
// is 1 to 65535 in decimal; anything else gives port 0.
Endpoints endpoints_from(const EndpointSettings& settings);

// The settings of this installation, read at every call (a changed file or
// variable takes effect at the next connect).
Endpoints configured_endpoints();

}  // namespace pink::msgcall
