// The C interface of include/pink/automation.h: creates objects through the
// class registry, and checks, converts and hands back values through the
// marshalling rules. Nothing throws out of here.
#include <memory>
#include <span>
#include <vector>

#include "automation/marshal.h"
#include "automation/registry.h"
#include "pink/automation.h"
#include "platform/export.h"

using pink::automation::Member;
using pink::automation::Store;
using pink::automation::Value;

struct pink_object {
  std::unique_ptr<pink::automation::Object> object;
  Store results;  // what the last invoke handed out
  pink_event_fn fn = nullptr;
  void* ctx = nullptr;
  int depth = 0;          // calls in progress (an event callback calls again)
  bool released = false;  // released from inside a call: goes when it ends
};

namespace {

// Keeps the object over a call; a release asked for inside the call (from
// an event callback) takes effect when the outermost call returns.
class InCall {
 public:
  explicit InCall(pink_object* o) : o_(o) { ++o_->depth; }
  ~InCall() {
    if (--o_->depth == 0 && o_->released) delete o_;
  }
  InCall(const InCall&) = delete;
  InCall& operator=(const InCall&) = delete;

 private:
  pink_object* o_;
};

void deliver(pink_object* o, const Member& event, std::span<const Value> args) {
  if (o->fn == nullptr) return;
  Store kept;  // the arguments' strings live for the callback
  std::vector<pink_value> values;
  values.reserve(args.size());
  for (const Value& v : args) values.push_back(pink::automation::to_caller(v, kept));
  o->fn(o->ctx, event.dispid, event.name, values.data(), static_cast<std::int32_t>(values.size()));
}

std::int32_t invoke(pink_object& o, std::int32_t dispid, std::int32_t kind, pink_value* args,
                    std::int32_t nargs, pink_value* result) {
  o.results.clear();
  const Member* row = pink::automation::find_row(o.object->info().dispatch.members, dispid, kind);
  if (row == nullptr) return PINK_E_MEMBER;
  std::vector<Value> values;
  if (const std::int32_t s = pink::automation::take_arguments(*row, args, nargs, values); s != PINK_OK) {
    return s;
  }
  Value out = Value::of(row->result);
  o.object->call(*row, values, out);
  if (!row->params.empty() && row->params.back().dir == pink::automation::Dir::Retval) {
    out = values.back();
  }
  pink::automation::give_back(*row, values, args, o.results);
  if (result != nullptr) *result = pink::automation::to_caller(out, o.results);
  return PINK_OK;
}

}  // namespace

PINK_EXPORT pink_object* pink_create(const char* progid) {
  if (progid == nullptr) return nullptr;
  try {
    auto object = pink::automation::create(progid);
    if (!object) return nullptr;
    auto o = std::make_unique<pink_object>();
    pink_object* raw = o.get();
    object->set_sink([raw](const Member& event, std::span<const Value> args) { deliver(raw, event, args); });
    o->object = std::move(object);
    return o.release();
  } catch (...) {
    return nullptr;
  }
}

PINK_EXPORT void pink_release(pink_object* o) {
  if (o == nullptr || o->released) return;
  if (o->depth > 0) {
    o->released = true;
    return;
  }
  delete o;
}

PINK_EXPORT std::int32_t pink_dispid(pink_object* o, const char* member) {
  if (o == nullptr || member == nullptr) return pink::automation::kUnknownDispid;
  return pink::automation::find_dispid(o->object->info().dispatch.members, member);
}

PINK_EXPORT std::int32_t pink_invoke(pink_object* o, std::int32_t dispid, std::int32_t kind,
                                     pink_value* args, std::int32_t nargs, pink_value* result) {
  if (result != nullptr) *result = pink_value{};
  if (o == nullptr) return PINK_E_MEMBER;
  try {
    InCall call(o);
    return invoke(*o, dispid, kind, args, nargs, result);
  } catch (...) {
    if (result != nullptr) *result = pink_value{};
    return PINK_E_FAILED;
  }
}

PINK_EXPORT void pink_advise(pink_object* o, pink_event_fn fn, void* ctx) {
  if (o == nullptr) return;
  o->fn = fn;
  o->ctx = ctx;
}

PINK_EXPORT std::int32_t pink_pump(pink_object* o, std::int32_t timeout_ms) {
  if (o == nullptr) return -1;
  try {
    InCall call(o);
    o->results.clear();
    return o->object->pump(timeout_ms < 0 ? 0u : static_cast<std::uint32_t>(timeout_ms));
  } catch (...) {
    return -1;
  }
}

PINK_EXPORT int pink_fd(pink_object* o) {
  if (o == nullptr) return -1;
  return static_cast<int>(o->object->wait_handle());
}

PINK_EXPORT std::int32_t pink_snapshot(pink_object* o, const char* png_path, std::int32_t width,
                                       std::int32_t height) {
  if (o == nullptr || png_path == nullptr || width < 1 || height < 1) return -1;
  try {
    InCall call(o);
    return o->object->snapshot(png_path, width, height) ? 0 : -1;
  } catch (...) {
    return -1;
  }
}
