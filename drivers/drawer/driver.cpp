#include "drivers/drawer/driver.h"

namespace pink::drawer {

bool run_open_sequence(devctl::Device* device, const Family& f) {
  devctl::SequenceTimer timer;
  bool last = false;
  for (const Step& step : f.open_sequence) {
    std::size_t returned = 0;
    last = device != nullptr && device->control(step.code, f.drive_input, {}, returned);
    if (step.wait_after_ms > 0) timer.wait_ms(step.wait_after_ms);
  }
  return last;
}

std::optional<std::uint8_t> read_status(devctl::Device* device, const Family& f) {
  if (device == nullptr) return std::nullopt;
  std::uint8_t byte[1] = {0};
  std::size_t returned = 0;
  if (!device->control(f.status_code, f.status_input, byte, returned) || returned < 1) {
    return std::nullopt;
  }
  return byte[0];
}

std::int32_t Driver::open() {
  const std::lock_guard<std::mutex> lock(mutex_);
  device_.reset();
  device_ = devctl::open(family_.device).device;
  return device_ ? 1 : 0;
}

std::int32_t Driver::open_drawer() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return run_open_sequence(device_.get(), family_) ? 1 : 0;
}

std::int32_t Driver::status() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return read_status(device_.get(), family_).value_or(0);
}

std::int32_t Driver::close() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!device_) return 0;
  device_.reset();
  return 1;
}

}  // namespace pink::drawer
