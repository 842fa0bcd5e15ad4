#include "automation/object.h"

#include <utility>

namespace pink::automation {

Object::Object(const ClassInfo& info) : info_(info) {
  // Where the creating thread runs a message loop (a COM apartment), the
  // window work runs from it as from a window's messages.
  window_.serve([this] {
    try {
      if (!served_scope_) {
        pump(0);
        return;
      }
      const Scope scope = served_scope_;  // a copy: the scope may end the object
      scope([this] { pump(0); });
    } catch (...) {
      // Work that failed is dropped; what is left runs at the next wake-up.
    }
  });
}

Object::Dispatching::Dispatching(Object& o) : o_(o), previous_(o.dispatching_.load()) {
  o_.dispatching_.store(std::this_thread::get_id());
}

Object::Dispatching::~Dispatching() { o_.dispatching_.store(previous_); }

void Object::call(const Member& member, std::span<Value> args, Value& result) {
  Dispatching scope(*this);
  run(member, args, result);
}

int Object::pump(std::uint32_t timeout_ms) {
  Dispatching scope(*this);
  return window_.run(timeout_ms);
}

void Object::as_window(const std::function<void()>& work) {
  Dispatching scope(*this);
  work();
}

bool Object::snapshot(const std::string&, int, int) { return false; }

void Object::fire(std::int32_t dispid, std::vector<Value> args) {
  if (dispatching_.load() == std::this_thread::get_id()) {
    deliver(dispid, args);
  } else {
    defer(dispid, std::move(args));
  }
}

void Object::defer(std::int32_t dispid, std::vector<Value> args) {
  window_.post([this, dispid, args = std::move(args)] { deliver(dispid, args); });
}

void Object::deliver(std::int32_t dispid, std::span<const Value> args) {
  if (!sink_) return;
  for (const Member& event : info_.events.members) {
    if (event.dispid == dispid) {
      // A copy: the sink may replace itself (an advise from inside an event).
      const Sink sink = sink_;
      sink(event, args);
      return;
    }
  }
}

}  // namespace pink::automation
