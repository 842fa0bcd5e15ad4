#include "msgcall/endpoints.h"

#include "platform/dynlib.h"
#include "platform/env.h"
#include "platform/ini.h"

namespace pink::msgcall {
namespace {

int port_of(std::string_view text) {
  if (text.empty() || text.size() > 5) return 0;
  int v = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return 0;
    v = v * 10 + (c - '0');
  }
  return v >= 1 && v <= 65535 ? v : 0;
}

// "host" or "host:port"; without a port, `port`.
Endpoint endpoint_of(std::string_view setting, int port) {
  const std::size_t colon = setting.rfind(':');
  if (colon == std::string_view::npos) return {std::string(setting), port};
  return {std::string(setting.substr(0, colon)), port_of(setting.substr(colon + 1))};
}

Endpoint choose(const std::optional<std::string>& env, const std::string& ini, std::string_view fallback,
                int port) {
  if (env && !env->empty()) return endpoint_of(*env, port);
  if (!ini.empty()) return endpoint_of(ini, port);
  return {std::string(fallback), port};
}

}  // namespace

Endpoints endpoints_from(const EndpointSettings& s) {
  const int port = s.ini_port.empty() ? kDefaultPort : port_of(s.ini_port);
  return {choose(s.env_primary, s.ini_primary, kDefaultPrimary, port),
          choose(s.env_secondary, s.ini_secondary, kDefaultSecondary, port)};
}

Endpoints configured_endpoints() {
  const std::string path = dynlib::beside_module(kSettingsFile);
  EndpointSettings s;
  s.ini_primary = ini::read(path, kSettingsSection, "primary");
  s.ini_secondary = ini::read(path, kSettingsSection, "secondary");
  s.ini_port = ini::read(path, kSettingsSection, "port");
  s.env_primary = env::get("PINK_MSG_PRIMARY");
  s.env_secondary = env::get("PINK_MSG_SECONDARY");
  return endpoints_from(s);
}

}  // namespace pink::msgcall
