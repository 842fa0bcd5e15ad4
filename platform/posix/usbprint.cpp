#include "platform/usbprint.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/env.h"

namespace pink::usbprint {
namespace {

namespace fs = std::filesystem;

constexpr const char* kVendor = "0525";
constexpr const char* kProduct = "a700";

std::string read_word(const fs::path& p) {
  std::ifstream f(p);
  std::string w;
  f >> w;
  std::transform(w.begin(), w.end(), w.begin(), [](unsigned char c) {
    return static_cast<char>(std::tolower(c));
  });
  return w;
}

class SysfsLookup final : public SetupLibrary {
 public:
  SysfsLookup(fs::path sysfs, fs::path devroot)
      : sysfs_(std::move(sysfs)), devroot_(std::move(devroot)) {}

  std::optional<std::string> find_printer(bool any_device) override {
    std::error_code ec;
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(sysfs_ / "class" / "usbmisc", ec)) {
      const std::string n = e.path().filename().string();
      if (n.rfind("lp", 0) == 0) names.push_back(n);
    }
    // lp0, lp1, ... lp10 in number order.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
      return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    for (const auto& n : names) {
      // class/usbmisc/lpN/device is the printer interface; its parent folder
      // is the USB device with the vendor and product ids.
      fs::path iface = fs::canonical(sysfs_ / "class" / "usbmisc" / n / "device", ec);
      if (ec) continue;
      fs::path usbdev = iface.parent_path();
      if (!any_device &&
          (read_word(usbdev / "idVendor") != kVendor || read_word(usbdev / "idProduct") != kProduct)) {
        continue;
      }
      const std::string node = (devroot_ / "usb" / n).string();
      int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
      if (fd < 0) continue;
      ::close(fd);
      return node;
    }
    return std::nullopt;
  }

  std::string printer_name(const std::string& path) override { return path; }

 private:
  fs::path sysfs_;
  fs::path devroot_;
};

}  // namespace

std::unique_ptr<SetupLibrary> load() {
  fs::path sysfs = env::get("PINK_SYSFS").value_or("/sys");
  fs::path devroot = env::get("PINK_DEVROOT").value_or("/dev");
  std::error_code ec;
  if (!fs::is_directory(sysfs, ec)) return nullptr;
  return std::make_unique<SysfsLookup>(sysfs, devroot);
}

}  // namespace pink::usbprint
