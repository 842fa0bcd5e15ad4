// Device control: requests to a kernel device opened by name, as the cash
// drawer drivers send them, and the precise waits of their timed sequences.
//
// Windows: CreateFile on the name ("\\.\TevDraw2kKwDev") for reading and
// writing, shared for reading and writing, existing device only, synchronous;
// one DeviceIoControl per request; CloseHandle.
//
// Linux has no kernel driver for these drawers. The device "<name>" (the name
// without its "\\.\" prefix) is a Unix-domain stream socket
// $PINK_DRAWERDIR/<name> (default /run/pink), served by a program such as
// vdrawer or drawerd; opening connects to it (a missing socket is a device
// that is not installed), and one request is one framed exchange on the
// connection (framing in include/pink/drawer.h and
// platform/common/devctl_frame.h). Every exchange is bounded by
// kExchangeTimeoutMs; a connection that broke, timed out or carried a reply
// that does not follow the framing refuses every later request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace pink::devctl {

// The longest one exchange may take on Linux (sending the request and
// receiving the whole reply) before the request counts as refused.
constexpr std::uint32_t kExchangeTimeoutMs = 3000;

class Device {
 public:
  virtual ~Device() = default;
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  // One synchronous request with `code` and the input bytes; the device may
  // hand back up to output.size() bytes. True when the device accepted the
  // request; `returned` then tells how many bytes of `output` it wrote (never
  // more than output.size()), and is 0 on a refusal.
  virtual bool control(std::uint32_t code, std::span<const std::uint8_t> input,
                       std::span<std::uint8_t> output, std::size_t& returned) = 0;

 protected:
  Device() = default;
};

struct OpenResult {
  std::unique_ptr<Device> device;  // null when the open failed
  std::string text;                // what went wrong (the OS path and its reason)
};

// Opens the device for read and write ("\\.\TevDraw2kKwDev", or the same
// name without the prefix).
OpenResult open(std::string_view name);

// Where the device lives on this machine: the name itself on Windows, the
// socket path on Linux ("" for a name that cannot be a device: empty, or
// with a path separator in it).
std::string device_path(std::string_view name);

// Waits between the requests of a timed sequence: each wait lasts at least
// as long as asked and as little longer as the system allows. For the
// lifetime of the object the system timer runs at 1 ms resolution (Windows:
// timeBeginPeriod(1), without which a wait takes up to 15.6 ms more); Linux
// sleeps to a deadline on the monotonic clock.
class SequenceTimer {
 public:
  SequenceTimer();
  ~SequenceTimer();
  SequenceTimer(const SequenceTimer&) = delete;
  SequenceTimer& operator=(const SequenceTimer&) = delete;

  void wait_ms(std::uint32_t ms);

 private:
  [[maybe_unused]] bool raised_ = false;  // Windows: the timer resolution was raised
};

}  // namespace pink::devctl
