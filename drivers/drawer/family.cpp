#include "drivers/drawer/family.h"

namespace pink::drawer {
namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_nocase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string_view without_prefix(std::string_view name) {
  if (name.substr(0, kDevicePrefix.size()) == kDevicePrefix) name.remove_prefix(kDevicePrefix.size());
  return name;
}

}  // namespace

const Family* family_by_device(std::string_view name) {
  for (const Family* f : kFamilies) {
    if (same_nocase(without_prefix(name), without_prefix(f->device))) return f;
  }
  return nullptr;
}

const Family* family_by_library(std::string_view name) {
  for (const Family* f : kFamilies) {
    if (same_nocase(name, f->library)) return f;
  }
  return nullptr;
}

Meaning meaning_of(std::uint32_t code) {
  for (const Family* f : kFamilies) {
    for (const CodeMeaning& c : f->codes) {
      if (c.code == code) return {f, &c};
    }
  }
  return {nullptr, nullptr};
}

std::uint32_t sequence_wait_ms(const Family& f) {
  std::uint32_t total = 0;
  for (const Step& s : f.open_sequence) total += s.wait_after_ms;
  return total;
}

}  // namespace pink::drawer
