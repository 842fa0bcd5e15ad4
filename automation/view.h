// The window of an automation object that has one (the signature pad
// controls), as the object sees it. A host (on Windows the ActiveX control
// around the object) makes a real window and attaches it; the object draws
// its picture for that window, asks it to repaint, and has its watch threads
// post their notifications to it, so that they are handled on the window's
// thread as window messages. Without a window the object works on: its
// picture is drawn on demand (snapshots) and its notifications run as
// window work (automation/window.h).
//
//   class Pad : public automation::Object, public automation::View { ... };
//   // watch thread:  if (!host_.post(kCommRead, 0, 0)) window().post(...);
//   // window thread: void message(...) override { as_window([&] { on_read(); }); }
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string_view>
#include <vector>

namespace pink::automation {

// The window as the object sees it (implemented by the host).
class ViewHost {
 public:
  virtual ~ViewHost() = default;
  // The picture changed: the window repaints soon. The window's thread.
  virtual void invalidate() noexcept = 0;
  // Hands a message to the window's thread (any thread, never waits): it
  // comes back through View::message. False when it could not be posted.
  virtual bool post(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) noexcept = 0;
};

// The picture of a window: width x height pixels 0x00RRGGBB, rows top down.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};

// What an object with a window offers its host. Calls come on the object's
// thread.
class View {
 public:
  virtual ~View() = default;
  // The window was made (a host) or is going (null). After attach(nullptr)
  // returns, no message is posted to the window any more.
  virtual void attach(ViewHost* host) = 0;
  // The window's client size in pixels: the picture follows it.
  virtual void resize(int width, int height) = 0;
  // What the window shows now, at its size.
  virtual Picture picture() = 0;
  // A message posted through ViewHost::post arrived.
  virtual void message(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) = 0;
};

// Properties a form host saves with the form and gives back when it loads
// it: the names of property rows of the object's member table (a get and a
// put row each).
class Persistent {
 public:
  virtual ~Persistent() = default;
  virtual std::span<const std::string_view> persisted() const = 0;
  // A persisted property changed since the host last saved or loaded them.
  virtual bool modified() const = 0;
  virtual void set_modified(bool modified) = 0;
};

// The object's side of its window: the host, if any, for the watch threads
// (post) and the object's thread (invalidate) alike.
class HostLink {
 public:
  void attach(ViewHost* host) {
    const std::lock_guard<std::mutex> hold(lock_);
    host_ = host;
  }
  bool attached() {
    const std::lock_guard<std::mutex> hold(lock_);
    return host_ != nullptr;
  }
  // False without a window: the caller runs the work its own way.
  bool post(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
    const std::lock_guard<std::mutex> hold(lock_);
    return host_ != nullptr && host_->post(message, wparam, lparam);
  }
  // The object's thread only, where the host cannot go meanwhile: called
  // outside the lock, so that a host reacting to it may detach.
  void invalidate() {
    ViewHost* host = nullptr;
    {
      const std::lock_guard<std::mutex> hold(lock_);
      host = host_;
    }
    if (host != nullptr) host->invalidate();
  }

 private:
  std::mutex lock_;
  ViewHost* host_ = nullptr;
};

}  // namespace pink::automation
