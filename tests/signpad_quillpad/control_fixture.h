// The quillpad control through the automation C interface, as a POS calls
// it: members by name, events recorded, the window's work pumped.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "pink/automation.h"
#include "signpad/canvas.h"
#include "tests/automation/values.h"

namespace pink::signpad::quill::testing {

using automation::testing::bytes_of;
using automation::testing::i2;
using automation::testing::i4;
using automation::testing::out;
using automation::testing::str;

class Control {
 public:
  Control() : o_("QUILLPAD.QuillpadCtrl.1") {
    if (o_) pink_advise(o_.get(), &Control::on_event, this);
  }
  pink_object* get() const { return o_.get(); }
  explicit operator bool() const { return static_cast<bool>(o_); }

  // A method with a short result.
  std::int32_t call(const char* member, std::vector<pink_value> args = {}) {
    pink_value r{};
    EXPECT_EQ(o_.call(member, args, &r), PINK_OK) << member;
    EXPECT_EQ(r.type, PINK_I2) << member;
    return r.num;
  }
  // A method with a byte array result and its nSuccess.
  std::vector<std::uint8_t> data(const char* member, std::int32_t& success) {
    std::vector<pink_value> args{out(PINK_I2, 77)};
    pink_value r{};
    EXPECT_EQ(o_.call(member, args, &r), PINK_OK) << member;
    EXPECT_EQ(r.type, PINK_BYTES) << member;
    success = args[0].num;
    return bytes_of(r);
  }
  std::string text(const char* property) {
    std::vector<pink_value> none;
    pink_value r{};
    EXPECT_EQ(o_.call(property, none, &r, PINK_GET), PINK_OK) << property;
    return r.str == nullptr ? std::string() : std::string(r.str);
  }
  void put(const char* property, pink_value value) {
    std::vector<pink_value> args{value};
    EXPECT_EQ(o_.call(property, args, nullptr, PINK_PUT), PINK_OK) << property;
  }

  // Pumps until the event has fired (counting from `from` events), within a
  // generous bound.
  bool pump_until(const std::string& event, std::size_t from = 0, std::uint32_t ms = 15000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      for (std::size_t i = from; i < events.size(); ++i) {
        if (events[i] == event) return true;
      }
      if (std::chrono::steady_clock::now() > end) return false;
      pink_pump(o_.get(), 20);
    }
  }
  // Pumps for a while, whatever happens.
  void pump_for(std::uint32_t ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) pink_pump(o_.get(), 10);
  }

  std::vector<std::string> events;

 private:
  static void on_event(void* ctx, std::int32_t, const char* name, const pink_value*, std::int32_t) {
    static_cast<Control*>(ctx)->events.emplace_back(name);
  }

  automation::testing::Obj o_;
};

// A PNG written by the canvas (one IDAT chunk of 8-bit RGB rows), decoded.
struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> raw;  // rows with their filter byte
  static Picture of(const std::string& png) {
    Picture p;
    auto be32 = [&](std::size_t at) {
      return std::uint32_t{std::uint8_t(png[at])} << 24 | std::uint32_t{std::uint8_t(png[at + 1])} << 16 |
             std::uint32_t{std::uint8_t(png[at + 2])} << 8 | std::uint8_t(png[at + 3]);
    };
    if (png.size() < 45 || png.substr(1, 3) != "PNG" || png.substr(37, 4) != "IDAT") return p;
    p.width = static_cast<int>(be32(16));
    p.height = static_cast<int>(be32(20));
    uLongf size = static_cast<uLongf>(p.height) * (1 + 3 * static_cast<uLongf>(p.width));
    p.raw.resize(size);
    if (uncompress(p.raw.data(), &size, reinterpret_cast<const Bytef*>(png.data()) + 41, be32(33)) != Z_OK) {
      p.width = p.height = 0;
    }
    return p;
  }
  Rgb at(int x, int y) const {
    const std::size_t i = static_cast<std::size_t>(y) * (1 + 3 * static_cast<std::size_t>(width)) + 1 + 3 * static_cast<std::size_t>(x);
    return Rgb{raw[i], raw[i + 1], raw[i + 2]};
  }
  int inked() const {
    int n = 0;
    for (int y = 1; y + 1 < height; ++y) {
      for (int x = 1; x + 1 < width; ++x) n += at(x, y) == kBlack;
    }
    return n;
  }
};

// Runs the scope in another current folder.
class InFolder {
 public:
  explicit InFolder(const std::string& folder) {
    char buf[4096];
    if (::getcwd(buf, sizeof buf) != nullptr) before_ = buf;
    EXPECT_EQ(::chdir(folder.c_str()), 0);
  }
  ~InFolder() {
    if (!before_.empty()) {
      EXPECT_EQ(::chdir(before_.c_str()), 0);
    }
  }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  std::string before_;
};

}  // namespace pink::signpad::quill::testing
