// In-memory stand-ins for the mailbox and the log, for driving the shared
// spooler rules without a store or a log folder.
#pragma once

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "mailbox/log.h"
#include "mailbox/mailbox.h"

namespace pink::mailbox::testing {

class MapMailbox : public Mailbox {
 public:
  std::string get(std::string_view section, std::string_view key) override {
    ++reads;
    if (on_get) on_get(section, key);
    auto it = values.find(name(section, key));
    return it == values.end() ? std::string() : it->second;
  }
  void put(std::string_view section, std::string_view key, std::string_view value) override {
    values[name(section, key)] = std::string(value);
    writes.push_back(name(section, key) + "=" + std::string(value));
  }
  void set(std::string_view section, std::string_view key, std::string value) {
    values[name(section, key)] = std::move(value);
  }
  std::string value(std::string_view section, std::string_view key) const {
    auto it = values.find(name(section, key));
    return it == values.end() ? std::string() : it->second;
  }

  // Names compare case-insensitively, as in the real store.
  static std::string name(std::string_view section, std::string_view key) {
    std::string n = std::string(section) + "/" + std::string(key);
    std::transform(n.begin(), n.end(), n.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return n;
  }

  std::map<std::string, std::string> values;
  std::vector<std::string> writes;
  int reads = 0;
  std::function<void(std::string_view, std::string_view)> on_get;
};

class RecordingLog : public Log {
 public:
  void write(std::string_view message) override { lines.emplace_back(message); }
  std::vector<std::string> lines;
};

}  // namespace pink::mailbox::testing
