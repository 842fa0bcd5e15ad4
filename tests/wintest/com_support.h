// What the COM tests of the Windows build share: a Wine prefix of a test's
// own (registrations must not meet those of tests running at the same time),
// and the registry below a key as `reg query /s` shows it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "tools/testkit/wine.h"

namespace pink::comtest {

// The prefix build/wine/<name>, made on first use; the one this test
// process works in from now on. Call before anything else uses Wine.
inline testkit::Wine& own_prefix(const std::string& name) {
  const std::filesystem::path build = std::filesystem::path(testkit::Wine::bin_dir()).parent_path().parent_path();
  ::setenv("PINK_WINEPREFIX", (build / "wine" / name).c_str(), 1);
  return testkit::Wine::shared();
}

// Every value below `key` (the key included): "<subkey>|<value name>" ->
// data, where <subkey> is relative to `key` ("" for the key itself, then
// "CLSID", "CLSID\\x" ...), the default value's name is "" and a key without
// values shows as "<subkey>|*" -> "". Empty when the key does not exist.
inline std::map<std::string, std::string> reg_tree(const testkit::Wine& wine, const std::string& key) {
  std::map<std::string, std::string> out;
  const auto r = wine.run("reg", {"query", key, "/s"});
  if (r.exit_code != 0) return out;
  const std::size_t asked = key.find('\\');
  const std::string base = asked == std::string::npos ? "" : key.substr(asked + 1);
  std::set<std::string> keys{""}, with_values;  // the key itself is not always shown when empty
  std::string current;
  for (std::size_t at = 0; at < r.out.size();) {
    const std::size_t end = r.out.find('\n', at);
    std::string line = r.out.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? r.out.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("HKEY_", 0) == 0) {
      const std::size_t cut = line.find('\\');  // the root's long name differs from what was asked
      const std::string path = cut == std::string::npos ? "" : line.substr(cut + 1);
      current = path.size() > base.size() ? path.substr(base.size() + 1) : "";
      keys.insert(current);
      continue;
    }
    // "    <name>    REG_SZ    <data>"
    const std::size_t type = line.find("    REG_");
    if (type == std::string::npos || type < 4) continue;
    std::string name = line.substr(4, type - 4);
    if (name == "(Default)") name = "";
    const std::size_t data = line.find("    ", type + 4);
    out[current + "|" + name] = data == std::string::npos ? "" : line.substr(data + 4);
    with_values.insert(current);
  }
  for (const std::string& k : keys) {
    if (with_values.count(k) == 0) out[k + "|*"] = "";
  }
  return out;
}

}  // namespace pink::comtest
