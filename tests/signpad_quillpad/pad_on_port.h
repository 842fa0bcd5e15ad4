// A virtual quillpad on a virtual serial port, for the end-to-end tests: a
// thread feeds what the control sends to the pad's side of the protocol and
// writes the pad's answers back after their delays. The control opens the
// port through $PINK_COM<n>, which the port sets for its lifetime.
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

#include "signpad/device.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace pink::signpad::quill::testing {

class PadOnPort {
 public:
  PadOnPort(int com, const PadScript& script) : port_(com), device_(make_quillpad_device(script)) {
    thread_ = std::thread([this] { loop(); });
  }
  ~PadOnPort() {
    stop_ = true;
    thread_.join();
  }
  PadOnPort(const PadOnPort&) = delete;
  PadOnPort& operator=(const PadOnPort&) = delete;

  // An operator action on the pad ("sign", "cancel", "pin 1234" ...).
  bool command(std::string_view action) {
    std::vector<Send> sends;
    std::lock_guard<std::mutex> hold(lock_);
    const bool known = device_->command(action, sends);
    schedule(sends);
    return known;
  }

  // Everything the control sent so far.
  std::string received() {
    std::lock_guard<std::mutex> hold(lock_);
    return received_;
  }

  // Waits until `needle` shows in what the control sent, at or after byte
  // `from` (a generous bound).
  bool wait_for(std::string_view needle, std::size_t from = 0, std::uint32_t ms = 10000) {
    return testkit::wait_until(
        [&] {
          const std::string r = received();
          return r.size() > from && r.find(needle, from) != std::string::npos;
        },
        ms);
  }

  testkit::VirtualPort& port() { return port_; }

 private:
  using Clock = std::chrono::steady_clock;

  void schedule(const std::vector<Send>& sends) {
    auto due = Clock::now();
    for (const Send& s : sends) {
      due += std::chrono::milliseconds(s.delay_ms);
      pending_.emplace(due, std::string(s.bytes.begin(), s.bytes.end()));
    }
  }

  void loop() {
    while (!stop_) {
      const std::string chunk = port_.read_available(2);
      std::vector<std::string> due;
      {
        std::lock_guard<std::mutex> hold(lock_);
        if (!chunk.empty()) {
          received_ += chunk;
          std::vector<Send> sends;
          device_->receive(std::span(reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size()), sends);
          schedule(sends);
        }
        const auto now = Clock::now();
        while (!pending_.empty() && pending_.begin()->first <= now) {
          due.push_back(std::move(pending_.begin()->second));
          pending_.erase(pending_.begin());
        }
      }
      for (const std::string& bytes : due) port_.write(bytes);
    }
  }

  testkit::VirtualPort port_;
  std::unique_ptr<PadDevice> device_;
  std::mutex lock_;
  std::string received_;
  std::multimap<Clock::time_point, std::string> pending_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace pink::signpad::quill::testing
