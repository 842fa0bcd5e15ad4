#include "tests/signpad_tallypad/harness.h"

#include <poll.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>

#include "tools/testkit/testkit.h"

namespace pink::signpad::tally::testing {

using Clock = std::chrono::steady_clock;

VirtualPad::VirtualPad(int com, const PadScript& script)
    : port_(com), device_(make_tallypad_device(script)), thread_([this] { loop(); }) {}

VirtualPad::~VirtualPad() {
  stop_.store(true);
  thread_.join();
}

bool VirtualPad::command(std::string_view action) {
  const std::lock_guard<std::mutex> hold(lock_);
  std::vector<Send> sends;
  const bool known = device_->command(action, sends);
  schedule(sends);
  return known;
}

std::string VirtualPad::received() {
  const std::lock_guard<std::mutex> hold(lock_);
  return received_;
}

bool VirtualPad::wait_received(std::size_t n, std::uint32_t timeout_ms) {
  return testkit::wait_until([&] { return received().size() >= n; }, timeout_ms);
}

bool VirtualPad::idle() {
  const std::lock_guard<std::mutex> hold(lock_);
  return due_.empty();
}

void VirtualPad::schedule(const std::vector<Send>& sends) {
  Clock::time_point at = Clock::now();
  for (const Send& s : sends) {
    at += std::chrono::milliseconds(s.delay_ms);
    due_.emplace(at, s.bytes);  // after the pieces already due at the same time
  }
}

void VirtualPad::loop() {
  std::vector<std::uint8_t> buf(4096);
  while (!stop_.load()) {
    pollfd p{port_.master_fd(), POLLIN, 0};
    ::poll(&p, 1, 2);
    for (;;) {
      const ssize_t n = ::read(port_.master_fd(), buf.data(), buf.size());
      if (n <= 0) break;
      const std::lock_guard<std::mutex> hold(lock_);
      const auto got = std::span<const std::uint8_t>(buf).first(static_cast<std::size_t>(n));
      received_.append(got.begin(), got.end());
      std::vector<Send> sends;
      device_->receive(got, sends);
      schedule(sends);
    }
    for (;;) {
      std::vector<std::uint8_t> piece;
      {
        const std::lock_guard<std::mutex> hold(lock_);
        if (due_.empty() || due_.begin()->first > Clock::now()) break;
        piece = std::move(due_.begin()->second);
        due_.erase(due_.begin());
      }
      port_.write(std::string_view(reinterpret_cast<const char*>(piece.data()), piece.size()));
    }
  }
}

Control::Control() : o_(pink_create("TALLYPAD.TallypadCtrl.1")) {
  if (o_ != nullptr) pink_advise(o_, &Control::on_event, this);
}

Control::~Control() { pink_release(o_); }

void Control::on_event(void* ctx, std::int32_t dispid, const char* name, const pink_value*, std::int32_t) {
  Control* c = static_cast<Control*>(ctx);
  c->events_.push_back({dispid, name});
  if (c->on_fired) c->on_fired(name);
}

int Control::call(const char* member, const std::vector<std::string>& texts) {
  std::vector<pink_value> args;
  for (const std::string& t : texts) args.push_back({PINK_STR, 0, t.c_str(), nullptr, 0, 0});
  pink_value result{};
  const std::int32_t status = pink_invoke(o_, pink_dispid(o_, member), PINK_METHOD, args.data(),
                                          static_cast<std::int32_t>(args.size()), &result);
  if (status != PINK_OK || result.type != PINK_I2) return -1000 + status;
  return result.num;
}

int Control::call_number(const char* member, std::int32_t type, std::int32_t value) {
  pink_value arg{type, value, nullptr, nullptr, 0, 0};
  pink_value result{};
  if (pink_invoke(o_, pink_dispid(o_, member), PINK_METHOD, &arg, 1, &result) != PINK_OK) return -1000;
  return result.num;
}

Control::Data Control::data(const char* member) {
  pink_value ret{PINK_I2, -99, nullptr, nullptr, 0, 1};
  pink_value result{};
  Data d;
  if (pink_invoke(o_, pink_dispid(o_, member), PINK_METHOD, &ret, 1, &result) != PINK_OK) return d;
  d.type = result.type;
  if (result.type == PINK_BYTES) d.bytes.assign(result.bytes, result.bytes + result.len);
  d.event_ret = ret.num;
  return d;
}

bool Control::wait_event(const std::string& name, int times, std::uint32_t timeout_ms) {
  return pump_until([&] { return count(name) >= times; }, timeout_ms);
}

bool Control::pump_until(const std::function<bool()>& done, std::uint32_t timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pink_pump(o_, static_cast<std::int32_t>(std::min<long>(left.count(), 20)));
  }
  return true;
}

void Control::pump_for(std::uint32_t ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return;
    pink_pump(o_, static_cast<std::int32_t>(std::min<long>(left.count(), 50)));
  }
}

int Control::count(const std::string& name) const {
  const auto same = [&](const Fired& f) { return f.name == name; };
  return static_cast<int>(std::count_if(events_.begin(), events_.end(), same));
}

bool Control::snapshot(const std::string& path, int width, int height) {
  return pink_snapshot(o_, path.c_str(), width, height) == 0;
}

bool Picture::ink(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return false;
  const auto at = 3 * static_cast<std::size_t>(y * width + x);
  return rgb[at] != 255 || rgb[at + 1] != 255 || rgb[at + 2] != 255;
}

int Picture::ink_count() const {
  int n = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) n += ink(x, y) ? 1 : 0;
  }
  return n;
}

namespace {
std::uint32_t be32(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<std::uint8_t>(b[at + i]);
  return v;
}
}  // namespace

// The controls' PNG files: one IHDR, one IDAT, rows without filter.
Picture read_png(const std::string& path) {
  const std::string png = read_file(path);
  Picture p;
  if (png.size() < 33 || png.compare(1, 3, "PNG") != 0) return p;
  const int width = static_cast<int>(be32(png, 16)), height = static_cast<int>(be32(png, 20));
  std::size_t at = 8;
  while (at + 8 <= png.size()) {
    const std::uint32_t length = be32(png, at);
    if (png.compare(at + 4, 4, "IDAT") == 0 && at + 8 + length <= png.size()) {
      std::vector<std::uint8_t> raw(static_cast<std::size_t>(height) * (1 + 3 * static_cast<std::size_t>(width)));
      uLongf raw_size = raw.size();
      if (uncompress(raw.data(), &raw_size, reinterpret_cast<const Bytef*>(png.data() + at + 8), length) != Z_OK) {
        return p;
      }
      p.width = width;
      p.height = height;
      for (int y = 0; y < height; ++y) {
        const auto row = raw.begin() + static_cast<std::ptrdiff_t>(y * (1 + 3 * width) + 1);
        p.rgb.insert(p.rgb.end(), row, row + 3 * width);
      }
      return p;
    }
    at += 12 + length;
  }
  return p;
}

std::vector<std::uint8_t> bytes_of(std::string_view s) { return {s.begin(), s.end()}; }

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace pink::signpad::tally::testing
