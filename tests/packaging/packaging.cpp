#include "tests/packaging/packaging.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

namespace pink::packaging {

testkit::RunResult shell(const std::string& command, const std::string& cwd,
                         const std::map<std::string, std::string>& env, std::uint32_t timeout_ms) {
  testkit::RunOptions options{cwd, env, timeout_ms};
  return testkit::run("/bin/sh", {"-c", command}, options);
}

void install_tree(const std::string& prefix) {
  const auto r = shell("cmake --install '" + std::string(PINK_BUILD_DIR) + "' --prefix '" + prefix + "'", "/");
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
}

std::string dynamic_entry(const std::string& file, const std::string& tag) {
  const auto r = shell("readelf -d '" + file + "'", "/");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const std::regex line("\\(" + tag + "\\)[^\\[]*\\[([^\\]]*)\\]");
  std::smatch m;
  return std::regex_search(r.out, m, line) ? m[1].str() : std::string();
}

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string unit_value(const std::string& unit_text, const std::string& key) {
  std::istringstream in(unit_text);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  }
  return "";
}

}  // namespace pink::packaging
