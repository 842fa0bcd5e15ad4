// Settings store: short text values addressed by (application, section, key).
//
// Windows: the per-user registry branch
//   HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>
// with one string value per key, exactly where the POS reads and writes it.
// Linux: one SQLite database, $PINK_SETTINGS or ~/.config/pink/settings.db,
// WAL journal with a busy time-out so that several processes share it; names
// compare case-insensitively like registry names; values are stored as UTF-8.
//
// All texts given and returned here are cp949.
//
// Unlike the rest of the platform layer (platform/result.h), a failing store
// throws pink::Failure: every caller is a program whose single failure path
// catches it and reports the store's trouble with its number and text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pink::settings {

// The value, or "" when the key (or its section) does not exist.
// Throws pink::Failure when the store cannot be opened or read.
std::string get(std::string_view app, std::string_view section, std::string_view key);

// Creates the section and key as needed and replaces any earlier value.
// Throws pink::Failure when the store cannot be opened or written.
void put(std::string_view app, std::string_view section, std::string_view key,
         std::string_view value);

struct Entry {
  std::string section;
  std::string key;
  std::string value;
};

// Every key of the application, or of one section of it, ordered by section
// and key (case-insensitively). Throws pink::Failure like get().
std::vector<Entry> list(std::string_view app, std::optional<std::string_view> section = {});

// Where the store lives, for messages ("HKEY_CURRENT_USER\..." or the
// database path).
std::string location();

}  // namespace pink::settings
