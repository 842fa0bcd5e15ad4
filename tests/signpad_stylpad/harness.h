// What the stylpad control's end-to-end cases share: the virtual pad on a
// virtual port (the pad's side of the protocol driven by a small loop that
// feeds it what the control sent and writes its answers back after their
// delays), and the control reached through the automation C interface.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "pink/automation.h"
#include "signpad/device.h"
#include "tools/testkit/vport.h"

namespace pink::signpad::testing {

using Clock = std::chrono::steady_clock;

// The virtual pad on the master side of a virtual port.
class PadLoop {
 public:
  PadLoop(testkit::VirtualPort& port, std::unique_ptr<PadDevice> device)
      : port_(port), device_(std::move(device)), thread_([this] { loop(); }) {}
  ~PadLoop() {
    stop_ = true;
    thread_.join();
  }
  PadLoop(const PadLoop&) = delete;
  PadLoop& operator=(const PadLoop&) = delete;

  // An operator action on the pad ("sign", "cancel" ...).
  void command(std::string action) {
    std::lock_guard<std::mutex> hold(lock_);
    commands_.push_back(std::move(action));
  }
  // Everything the control has sent so far.
  std::string received() {
    std::lock_guard<std::mutex> hold(lock_);
    return received_;
  }
  // True once nothing is left to send and no action waits.
  bool idle() {
    std::lock_guard<std::mutex> hold(lock_);
    return commands_.empty() && pending_ == 0;
  }

 private:
  struct Due {
    Clock::time_point at;
    std::vector<std::uint8_t> bytes;
  };

  void schedule(const std::vector<Send>& sends) {
    Clock::time_point at = Clock::now();
    if (!queue_.empty()) at = std::max(at, queue_.back().at);
    for (const Send& s : sends) {
      at += std::chrono::milliseconds(s.delay_ms);
      queue_.push_back({at, s.bytes});
    }
  }

  void loop() {
    while (!stop_) {
      std::vector<Send> out;
      std::deque<std::string> actions;
      {
        std::lock_guard<std::mutex> hold(lock_);
        actions.swap(commands_);
        pending_ += actions.size();  // busy until their sends are queued
      }
      for (const std::string& a : actions) device_->command(a, out);
      schedule(out);
      out.clear();
      int wait = 5;
      if (!queue_.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(queue_.front().at - Clock::now());
        wait = static_cast<int>(std::clamp<long long>(left.count(), 0, 5));
      }
      const std::string in = port_.read_available(static_cast<std::uint32_t>(wait));
      if (!in.empty()) {
        {
          std::lock_guard<std::mutex> hold(lock_);
          received_ += in;
        }
        device_->receive(std::span(reinterpret_cast<const std::uint8_t*>(in.data()), in.size()), out);
        schedule(out);
      }
      while (!queue_.empty() && queue_.front().at <= Clock::now()) {
        port_.write(std::string_view(reinterpret_cast<const char*>(queue_.front().bytes.data()),
                                     queue_.front().bytes.size()));
        queue_.pop_front();
      }
      std::lock_guard<std::mutex> hold(lock_);
      pending_ = queue_.size();
    }
  }

  testkit::VirtualPort& port_;
  std::unique_ptr<PadDevice> device_;
  std::deque<Due> queue_;  // the loop's own
  std::mutex lock_;
  std::deque<std::string> commands_;
  std::string received_;
  std::size_t pending_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;  // last: starts when everything else is ready
};

// An event as it fired: its name, numbers and texts in argument order.
struct Event {
  std::string name;
  std::vector<std::int32_t> nums;
  std::vector<std::string> texts;
};

inline pink_value text(const std::string& utf8) { return pink_value{PINK_STR, 0, utf8.c_str(), nullptr, 0, 0}; }
inline pink_value i4(std::int32_t v) { return pink_value{PINK_I4, v, nullptr, nullptr, 0, 0}; }

// The stylpad control through the automation C interface.
class Control {
 public:
  Control() : o_(pink_create("STYLPAD.StylPadCtrl.1")) {
    if (o_ != nullptr) pink_advise(o_, &Control::on_event, this);
  }
  ~Control() { pink_release(o_); }
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  pink_object* object() const { return o_; }

  // Calls a member; its number result (I2, I4, BOOL) or -99 when the call failed.
  std::int32_t num(const char* member, std::vector<pink_value> args = {}) {
    pink_value r{};
    if (pink_invoke(o_, pink_dispid(o_, member), PINK_METHOD, args.data(), static_cast<std::int32_t>(args.size()),
                    &r) != 0) {
      return -99;
    }
    return r.num;
  }
  // Its string result ("<failed>" when the call failed).
  std::string str(const char* member) {
    pink_value r{};
    if (pink_invoke(o_, pink_dispid(o_, member), PINK_METHOD, nullptr, 0, &r) != 0 || r.type != PINK_STR) {
      return "<failed>";
    }
    return r.str == nullptr ? "" : r.str;
  }
  // A member without a result.
  bool call(const char* member, std::vector<pink_value> args = {}) {
    return pink_invoke(o_, pink_dispid(o_, member), PINK_METHOD, args.data(),
                       static_cast<std::int32_t>(args.size()), nullptr) == 0;
  }

  // Pumps until `done` holds or `timeout_ms` passes.
  bool pump_until(const std::function<bool()>& done, int timeout_ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done()) {
      if (Clock::now() >= end) return false;
      pink_pump(o_, 20);
    }
    return true;
  }
  // Pumps until an event of this name has fired (counting those already seen).
  bool pump_until_event(const std::string& name, int timeout_ms = 10000) {
    return pump_until([&] { return count(name) > 0; }, timeout_ms);
  }
  // Pumps for a while, whatever happens.
  void pump_for(int ms) {
    pump_until([] { return false; }, ms);
  }

  const std::vector<Event>& events() const { return events_; }
  int count(const std::string& name) const {
    int n = 0;
    for (const Event& e : events_) n += e.name == name;
    return n;
  }
  const Event* last(const std::string& name) const {
    for (auto it = events_.rbegin(); it != events_.rend(); ++it) {
      if (it->name == name) return &*it;
    }
    return nullptr;
  }
  void forget_events() { events_.clear(); }

 private:
  static void on_event(void* ctx, std::int32_t, const char* name, const pink_value* args, std::int32_t n) {
    Event e{name, {}, {}};
    for (std::int32_t i = 0; i < n; ++i) {
      if (args[i].type == PINK_STR) e.texts.emplace_back(args[i].str == nullptr ? "" : args[i].str);
      if (args[i].type == PINK_I4 || args[i].type == PINK_I2) e.nums.push_back(args[i].num);
    }
    static_cast<Control*>(ctx)->events_.push_back(std::move(e));
  }

  pink_object* o_;
  std::vector<Event> events_;
};

}  // namespace pink::signpad::testing
