#include "tests/drawer/served_drawer.h"

#include <chrono>
#include <stdexcept>

#include "platform/devctl.h"

namespace pink::testing {

double now_ms() {
  const auto since_start = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration<double, std::milli>(since_start).count();
}

drawer_server::Reply status_reply(std::uint8_t byte) {
  const std::uint8_t b[1] = {byte};
  return drawer_server::Reply::framed(true, b);
}

std::vector<std::uint8_t> bytes_of(std::span<const std::uint8_t> s) { return {s.begin(), s.end()}; }

ServedDrawer::ServedDrawer(const std::string& device, vdrawer::ModelOptions options)
    : env_("PINK_DRAWERDIR", dir_.path()) {
  model_ = std::make_unique<vdrawer::DrawerModel>(std::move(options));
  start(device, [this](const devctl::frame::Request& r) {
    const vdrawer::Outcome out = model_->handle(r, now_ms());
    return drawer_server::Reply::framed(out.accepted, out.output);
  });
}

ServedDrawer::ServedDrawer(const std::string& device, drawer_server::Handler handler)
    : env_("PINK_DRAWERDIR", dir_.path()) {
  start(device, std::move(handler));
}

void ServedDrawer::start(const std::string& device, drawer_server::Handler handler) {
  std::string error;
  server_ = drawer_server::SocketServer::listen(devctl::device_path(device), 0600, error);
  if (!server_) throw std::runtime_error("cannot serve the drawer socket: " + error);
  server_->set_event_sink([this](const std::string& what, int id) {
    const std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(what + " " + std::to_string(id));
  });
  thread_ = std::thread([this, handler = std::move(handler)] {
    const drawer_server::Handler noting = [&](const devctl::frame::Request& r) {
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        seen_.push_back({r, now_ms()});
      }
      return handler(r);
    };
    while (!stop_) server_->serve(10, noting);
  });
}

void ServedDrawer::stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  server_.reset();
}

ServedDrawer::~ServedDrawer() { stop(); }

std::vector<Seen> ServedDrawer::seen() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return seen_;
}

std::vector<std::string> ServedDrawer::events() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return events_;
}

}  // namespace pink::testing
