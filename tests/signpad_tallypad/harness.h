// What the tallypad tests share: a virtual pad (the device module on a
// virtual serial port, its sends written after their delays by a loop of
// its own), the control driven through the automation C interface with its
// events recorded, and a reader for the control's PNG snapshots.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "pink/automation.h"
#include "signpad/device.h"
#include "tools/testkit/vport.h"

namespace pink::signpad::tally::testing {

// The tallypad device on the virtual port COM<com>: what arrives is fed to
// the device, what it sends goes back after each piece's delay.
class VirtualPad {
 public:
  VirtualPad(int com, const PadScript& script);
  ~VirtualPad();
  VirtualPad(const VirtualPad&) = delete;
  VirtualPad& operator=(const VirtualPad&) = delete;

  // An operator action on the pad; false when the device does not know it.
  bool command(std::string_view action);
  // Everything the control sent so far.
  std::string received();
  // Waits until the control has sent at least n bytes in all.
  bool wait_received(std::size_t n, std::uint32_t timeout_ms = 5000);
  // Whether every piece the device asked for has been sent.
  bool idle();
  // Sends bytes as they are, at once (a pad that does not follow the script).
  void inject(std::string_view bytes) { port_.write(bytes); }
  testkit::VirtualPort& port() noexcept { return port_; }

 private:
  using Clock = std::chrono::steady_clock;
  void loop();
  void schedule(const std::vector<Send>& sends);  // with lock_ held

  testkit::VirtualPort port_;
  std::unique_ptr<PadDevice> device_;
  std::mutex lock_;
  std::multimap<Clock::time_point, std::vector<std::uint8_t>> due_;
  std::string received_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// An event as the control fired it.
struct Fired {
  std::int32_t dispid;
  std::string name;
};

// The tallypad control through include/pink/automation.h.
class Control {
 public:
  Control();
  ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  pink_object* object() const noexcept { return o_; }
  // A request or setting member with text arguments (UTF-8): its short result.
  int call(const char* member, const std::vector<std::string>& texts = {});
  int call_number(const char* member, std::int32_t type, std::int32_t value);

  struct Data {
    std::int32_t type = -1;  // PINK_EMPTY or PINK_BYTES
    std::vector<std::uint8_t> bytes;
    int event_ret = -99;
  };
  Data data(const char* member);

  // Pumps until `name` has fired `times` times in all, or the time is up.
  bool wait_event(const std::string& name, int times = 1, std::uint32_t timeout_ms = 5000);
  // Pumps until `done` says so, or the time is up.
  bool pump_until(const std::function<bool()>& done, std::uint32_t timeout_ms = 5000);
  // Pumps for the whole time.
  void pump_for(std::uint32_t ms);
  int count(const std::string& name) const;
  const std::vector<Fired>& events() const noexcept { return events_; }
  bool snapshot(const std::string& path, int width, int height);
  // Runs inside the event callback, after the event was recorded.
  std::function<void(const std::string& name)> on_fired;

 private:
  static void on_event(void* ctx, std::int32_t dispid, const char* name, const pink_value* args,
                       std::int32_t nargs);
  pink_object* o_;
  std::vector<Fired> events_;
};

// A PNG written by the control: its size and RGB pixels.
struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;
  bool ink(int x, int y) const;  // not white
  int ink_count() const;
};
Picture read_png(const std::string& path);

std::vector<std::uint8_t> bytes_of(std::string_view s);
std::string read_file(const std::string& path);

}  // namespace pink::signpad::tally::testing
