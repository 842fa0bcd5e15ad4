// A drawer device served inside the test process: a fresh folder that
// $PINK_DRAWERDIR points at for the scope, the device socket in it, and a
// thread answering requests with the virtual drawer or a handler of the
// test's own. Every request is noted with its arrival time.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/common/devctl_frame.h"
#include "tools/testkit/testkit.h"
#include "tools/vdrawer/model.h"
#include "tools/vdrawer/server.h"

namespace pink::testing {

struct Seen {
  devctl::frame::Request request;
  double t_ms;  // arrival, on the test's steady clock
};

class ServedDrawer {
 public:
  // The virtual drawer with these options.
  ServedDrawer(const std::string& device, vdrawer::ModelOptions options);
  // Replies decided by `handler` (called on the serving thread).
  ServedDrawer(const std::string& device, drawer_server::Handler handler);
  ~ServedDrawer();
  ServedDrawer(const ServedDrawer&) = delete;
  ServedDrawer& operator=(const ServedDrawer&) = delete;

  std::vector<Seen> seen();
  // Connection events in order: "connect 1", "disconnect 1" ...
  std::vector<std::string> events();
  const testkit::TempDir& dir() const { return dir_; }
  // Stops serving and removes the socket (the device goes away).
  void stop();

 private:
  void start(const std::string& device, drawer_server::Handler handler);

  testkit::TempDir dir_;
  testkit::ScopedEnv env_;
  std::unique_ptr<vdrawer::DrawerModel> model_;
  std::unique_ptr<drawer_server::SocketServer> server_;
  std::mutex mutex_;
  std::vector<Seen> seen_;
  std::vector<std::string> events_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Milliseconds on the steady clock, the clock of Seen::t_ms.
double now_ms();

// The framed reply of an accepted status request carrying `byte`.
drawer_server::Reply status_reply(std::uint8_t byte);

std::vector<std::uint8_t> bytes_of(std::span<const std::uint8_t> s);

}  // namespace pink::testing
