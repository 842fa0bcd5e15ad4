#include "tools/msgsim/store.h"

#include <cstdio>
#include <fstream>
#include <system_error>

namespace pink::msgsim {

Store::Store(std::filesystem::path root) : root_(std::move(root)) {
  if (root_.empty()) return;
  std::error_code ec;
  std::filesystem::create_directories(root_, ec);
  for (const auto& entry : std::filesystem::directory_iterator(root_, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.size() > 12 || name.find_first_not_of("0123456789") != std::string::npos) continue;
    next_ = std::max<std::uint64_t>(next_, std::stoull(name) + 1);
  }
}

std::optional<std::filesystem::path> Store::new_message() {
  if (!enabled()) return std::nullopt;
  std::lock_guard lock(mutex_);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    char name[24];
    std::snprintf(name, sizeof name, "%06llu", static_cast<unsigned long long>(next_++));
    std::error_code ec;
    const std::filesystem::path folder = root_ / name;
    if (std::filesystem::create_directory(folder, ec)) return folder;
    if (ec) return std::nullopt;  // not "already there": the store cannot be written
  }
  return std::nullopt;
}

std::string attachment_file_name(int index, std::string_view extension) {
  std::string name = "attachment" + std::to_string(index);
  if (extension.empty()) return name;
  name += '.';
  for (const char c : extension) {
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                      c == '_';
    name += safe ? c : '_';
  }
  return name;
}

bool write_file(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace pink::msgsim
