#include "platform/usbprint.h"

#include <windows.h>
#include <setupapi.h>

#include <cstring>
#include <vector>

namespace pink::usbprint {
namespace {

// The USB printer device interface class.
const GUID kUsbPrintInterface = {0x28D78FAD, 0x5A12, 0x11D1,
                                 {0xAE, 0x5B, 0x00, 0x00, 0xF8, 0x03, 0xA8, 0xC2}};
constexpr char kPathPrefix[] = "\\\\?\\usb#vid_0525&pid_a700";  // 25 characters
constexpr char kPrinterSuffix[] = "\\USB0/4";
constexpr std::size_t kPathBuffer = 256;

using EnumInterfacesFn = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD,
                                       PSP_DEVICE_INTERFACE_DATA);
using DestroyListFn = BOOL(WINAPI*)(HDEVINFO);
using GetClassDevsFn = HDEVINFO(WINAPI*)(const GUID*, PCSTR, HWND, DWORD);
using GetDetailFn = BOOL(WINAPI*)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA,
                                  PSP_DEVICE_INTERFACE_DETAIL_DATA_A, DWORD, PDWORD,
                                  PSP_DEVINFO_DATA);

template <typename Fn>
Fn resolve(HMODULE m, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

class SetupApi final : public SetupLibrary {
 public:
  explicit SetupApi(HMODULE module) : module_(module) {
    enum_ = resolve<EnumInterfacesFn>(module, "SetupDiEnumDeviceInterfaces");
    destroy_ = resolve<DestroyListFn>(module, "SetupDiDestroyDeviceInfoList");
    class_devs_ = resolve<GetClassDevsFn>(module, "SetupDiGetClassDevsA");
    detail_ = resolve<GetDetailFn>(module, "SetupDiGetDeviceInterfaceDetailA");
  }
  ~SetupApi() override { FreeLibrary(module_); }

  bool complete() const { return enum_ && destroy_ && class_devs_ && detail_; }

  std::optional<std::string> find_printer(bool any_device) override {
    HDEVINFO list = class_devs_(&kUsbPrintInterface, nullptr, nullptr,
                                DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (list == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<std::string> found;
    for (DWORD index = 0;; ++index) {
      SP_DEVICE_INTERFACE_DATA iface{};
      iface.cbSize = sizeof iface;
      if (!enum_(list, nullptr, &kUsbPrintInterface, index, &iface)) {
        if (GetLastError() == ERROR_NO_MORE_ITEMS) break;
        continue;  // other enumeration errors skip this index
      }
      DWORD size = 0;
      detail_(list, &iface, nullptr, 0, &size, nullptr);
      if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) continue;
      std::vector<unsigned char> block(size);
      auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(block.data());
      detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
      if (!detail_(list, &iface, detail, size, nullptr, nullptr)) continue;
      const std::string path(detail->DevicePath);
      if (!any_device && path.compare(0, sizeof kPathPrefix - 1, kPathPrefix) != 0) continue;
      HANDLE probe = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
      if (probe == INVALID_HANDLE_VALUE) continue;
      CloseHandle(probe);
      found = path;
      break;
    }
    destroy_(list);
    return found;
  }

  std::string printer_name(const std::string& path) override {
    // The path is held in a 256-byte buffer: a path that leaves no room for
    // the suffix cannot be opened.
    if (path.size() + sizeof kPrinterSuffix > kPathBuffer) return std::string();
    return path + kPrinterSuffix;
  }

 private:
  HMODULE module_;
  EnumInterfacesFn enum_ = nullptr;
  DestroyListFn destroy_ = nullptr;
  GetClassDevsFn class_devs_ = nullptr;
  GetDetailFn detail_ = nullptr;
};

}  // namespace

std::unique_ptr<SetupLibrary> load() {
  HMODULE m = LoadLibraryA("SETUPAPI.DLL");
  if (m == nullptr) return nullptr;
  auto lib = std::make_unique<SetupApi>(m);
  if (!lib->complete()) return nullptr;
  return lib;
}

}  // namespace pink::usbprint
