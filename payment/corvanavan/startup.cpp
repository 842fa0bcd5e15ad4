#include "payment/corvanavan/startup.h"

#include <array>
#include <memory>
#include <string>

#include "platform/dynlib.h"
#include "platform/files.h"
#include "platform/ini.h"

namespace pink::corvanavan {
namespace {

// The SSL client library and the two cryptographic libraries it rests on.
constexpr std::array<std::string_view, 3> kLibraryNames = {"ssllib32", "ssleay32", "libeay32"};
// The value is read into a four-byte buffer: three characters and a zero.
constexpr std::size_t kPortCharacters = 3;

std::array<std::unique_ptr<dynlib::Library>, 3>& held_libraries() {
  static std::array<std::unique_ptr<dynlib::Library>, 3> held;
  return held;
}

}  // namespace

int port_setting_value(std::string_view text) {
  return static_cast<int>(ini::text::to_int(text.substr(0, kPortCharacters), 0));
}

int start_libraries() {
  const std::string path = files::native_path(kSettingsFile);
  int port = port_setting_value(ini::read(path, kSettingsSection, kPortKey, "0"));
  if (port == 0) {
    ini::write(path, kSettingsSection, kPortKey, "1");
    port = 1;
  }

  // Each start replaces the handles; the new ones are taken before the old
  // ones go, so a library held across the two stays loaded.
  auto& held = held_libraries();
  for (std::size_t i = 0; i < kLibraryNames.size(); ++i) {
    auto loaded = dynlib::load(kLibraryNames[i]);
    held[i] = loaded ? std::move(*loaded) : nullptr;
  }
  return port;
}

void stop_libraries() {
  for (auto& library : held_libraries()) library.reset();
}

}  // namespace pink::corvanavan
