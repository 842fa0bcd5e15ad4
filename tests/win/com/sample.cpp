#include "tests/win/com/sample.h"

#include <atomic>
#include <new>
#include <string>
#include <thread>

namespace pink::comtest {
namespace {

using automation::Value;

std::atomic<int> g_alive{0};

class Sample final : public automation::Object {
 public:
  Sample() : Object(kSample) { ++g_alive; }
  ~Sample() override {
    if (thread_.joinable()) thread_.join();
    --g_alive;
  }

 protected:
  void run(const Member& m, std::span<Value> args, Value& result) override;

 private:
  void split(std::span<Value> args, Value& result);
  void fetch(std::span<Value> args, Value& result);
  void property(const Member& m, std::span<Value> args, Value& result);
  void fire_from_thread(int count);

  std::int16_t level_ = 0;
  std::string name_;
  bool enabled_ = false;
  std::int32_t total_ = 0;
  std::int32_t ticks_ = 0;
  std::thread thread_;
};

void Sample::split(std::span<Value> args, Value& result) {
  const std::string& text = args[0].str;
  args[1].str = text.substr(0, text.find(' '));
  args[2].num = static_cast<std::int32_t>(text.size());
  args[3].num += static_cast<std::int32_t>(text.size());
  total_ = args[3].num;
  result.num = text.empty() ? 0 : -1;
}

void Sample::fetch(std::span<Value> args, Value& result) {
  if (args[0].num <= 0) {
    args[1].num = 0;
    return;  // EMPTY
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(args[0].num));
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i);
  result = Value::array(std::move(bytes));
  args[1].num = 1;
}

void Sample::property(const Member& m, std::span<Value> args, Value& result) {
  const bool get = m.kind == automation::kGet;
  switch (m.dispid) {
    case kLevel:
      if (get) result.num = level_; else level_ = static_cast<std::int16_t>(args[0].num);
      break;
    case kName:
      if (get) result.str = name_; else name_ = args[0].str;
      break;
    default:
      if (get) result.num = enabled_ ? -1 : 0; else enabled_ = args[0].num != 0;
      break;
  }
}

void Sample::fire_from_thread(int count) {
  if (thread_.joinable()) thread_.join();
  // A reader thread's events reach the sinks on the object's thread, from
  // its message loop.
  thread_ = std::thread([this, count] {
    for (int n = 1; n <= count; ++n) fire(kOnTick, {Value::i4(n), Value::string("thread")});
  });
}

void Sample::run(const Member& m, std::span<Value> args, Value& result) {
  switch (m.dispid) {
    case kAdd: result.num = args[0].num + args[1].num; break;
    case kEcho: result.str = args[0].str; break;
    case kCp949: result.bytes.assign(args[0].str.begin(), args[0].str.end()); break;
    case kFromBytes: result.str.assign(args[0].bytes.begin(), args[0].bytes.end()); break;
    case kSplit: split(args, result); break;
    case kFetch: fetch(args, result); break;
    case kLevel:
    case kName:
    case kEnabled: property(m, args, result); break;
    case kFire:
      for (int n = 1; n <= args[0].num; ++n) fire(kOnTick, {Value::i4(n), Value::string(name_)});
      fire(kOnAdjust, {Value::i4(args[0].num)});
      break;
    case kFireFromThread: fire_from_thread(args[0].num); break;
    case kStartTimer:
      window().set_timer(1, static_cast<std::uint32_t>(args[0].num), [this] { fire(kOnTimer, {Value::i4(++ticks_)}); });
      break;
    case kStopTimer: window().kill_timer(1); break;
    case kThrow: throw std::bad_alloc();
    case kTotal: args[0].num = total_; break;
    default: break;
  }
}

}  // namespace

std::unique_ptr<automation::Object> make_sample() { return std::make_unique<Sample>(); }

int samples_alive() { return g_alive.load(); }

}  // namespace pink::comtest
