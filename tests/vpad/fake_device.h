// A small pad device for the virtual pad's own tests: it answers every
// 'Q' it receives with "A" at once, and a burst that held any with "B" 40 ms
// after that; it knows the actions "stream N" (N pieces "p", 25 ms apart),
// "burst N" (one piece of N bytes "x") and "ping".
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "signpad/device.h"

namespace pink::vpad {

class FakeDevice final : public signpad::PadDevice {
 public:
  explicit FakeDevice(std::vector<std::string>* received = nullptr) : received_(received) {}
  std::string_view family() const override { return "fakepad"; }
  void receive(std::span<const std::uint8_t> bytes, std::vector<signpad::Send>& out) override {
    if (received_ != nullptr) received_->emplace_back(bytes.begin(), bytes.end());
    bool asked = false;
    for (const std::uint8_t b : bytes) {
      if (b != 'Q') continue;
      out.push_back({0, {'A'}});
      asked = true;
    }
    if (asked) out.push_back({40, {'B'}});
  }
  bool command(std::string_view action, std::vector<signpad::Send>& out) override {
    if (action == "ping") {
      out.push_back({0, {'P', 'O', 'N', 'G'}});
      return true;
    }
    if (action.substr(0, 6) == "burst ") {
      out.push_back({0, std::vector<std::uint8_t>(std::stoul(std::string(action.substr(6))), 'x')});
      return true;
    }
    if (action.substr(0, 7) != "stream ") return false;
    const int n = std::stoi(std::string(action.substr(7)));
    for (int i = 0; i < n; ++i) out.push_back({25, {'p'}});
    return true;
  }
  std::vector<std::string> actions() const override { return {"ping      answers PONG", "stream N  N pen points"}; }

 private:
  std::vector<std::string>* received_;
};

}  // namespace pink::vpad
