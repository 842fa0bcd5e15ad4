// Finding the USB receipt printer.
//
// Windows: the device-setup library (SETUPAPI.DLL) is loaded at run time and
// asked for the present devices of the USB printer interface class
// {28D78FAD-5A12-11D1-AE5B-0000F803A8C2}; a device path qualifies when it
// begins "\\?\usb#vid_0525&pid_a700" (any path on the old platform). The
// printer is then opened as "<path>\USB0/4".
// Linux: the usblp devices under $PINK_SYSFS (or /sys) class/usbmisc/lp*
// whose USB device has vendor 0525 and product a700; the node is
// $PINK_DEVROOT/usb/lpN (or /dev/usb/lpN).
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace pink::usbprint {

class SetupLibrary {
 public:
  virtual ~SetupLibrary() = default;
  // The path of the first qualifying printer interface that can be opened for
  // read and write (the probe handle is closed again), or nothing.
  virtual std::optional<std::string> find_printer(bool any_device) = 0;
  // The name under which the found printer is opened for printing.
  virtual std::string printer_name(const std::string& path) = 0;
};

// Loads the device-setup functions; null when the library or one of its
// functions is missing (Linux: when the sysfs tree is missing).
std::unique_ptr<SetupLibrary> load();

}  // namespace pink::usbprint
