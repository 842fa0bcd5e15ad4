// StartDLL and StopDLL: the settings file "corvana.ini" and the three
// libraries the SSL client rests on, held from start to stop.
#pragma once

#include <string_view>

namespace pink::corvanavan {

// In the current folder; mapped for the OS by files::native_path.
inline constexpr std::string_view kSettingsFile = ".\\corvana.ini";
inline constexpr std::string_view kSettingsSection = "COMM_PORT";
inline constexpr std::string_view kPortKey = "PORT";

// The PORT value as StartDLL reads it: its first three characters as a
// decimal number (0 when they do not start with one).
int port_setting_value(std::string_view text);

// Returns the PORT value, writing PORT=1 (and taking 1) when it is 0.
// Loads "ssllib32", "ssleay32" and "libeay32" by name and keeps them; a
// library that does not load is passed over silently.
int start_libraries();

// Releases the three libraries in the same order.
void stop_libraries();

}  // namespace pink::corvanavan
