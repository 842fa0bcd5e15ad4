#include "tests/automation/probe.h"

#include <array>
#include <chrono>
#include <memory>
#include <new>
#include <string>
#include <thread>

#include "automation/object.h"
#include "automation/registry.h"

namespace pink::automation::testing {
namespace {

constexpr std::array<Param, 2> kAddParams{{{"a", Type::I2, Dir::In}, {"b", Type::I4, Dir::In}}};
constexpr std::array<Param, 1> kText{{{"text", Type::Str, Dir::In}}};
constexpr std::array<Param, 1> kBytes{{{"data", Type::Bytes, Dir::In}}};
constexpr std::array<Param, 4> kSplitParams{{{"text", Type::Str, Dir::In},
                                             {"head", Type::Str, Dir::Out},
                                             {"count", Type::I2, Dir::Out},
                                             {"total", Type::I4, Dir::InOut}}};
constexpr std::array<Param, 2> kFetchParams{{{"n", Type::I2, Dir::In}, {"nEventRet", Type::I2, Dir::Out}}};
constexpr std::array<Param, 1> kShort{{{"value", Type::I2, Dir::In}}};
constexpr std::array<Param, 1> kLong{{{"value", Type::I4, Dir::In}}};
constexpr std::array<Param, 1> kBool{{{"value", Type::Bool, Dir::In}}};
constexpr std::array<Param, 1> kTotalParams{{{"value", Type::I4, Dir::Retval}}};
constexpr std::array<Param, 2> kLater{{{"data", Type::Bytes, Dir::In}, {"ms", Type::I4, Dir::In}}};

constexpr Member kMembers[] = {
    {"Add", kAdd, kMethod, kAddParams, Type::I4},
    {"Echo", kEcho, kMethod, kText, Type::Str},
    {"Cp949", kCp949, kMethod, kText, Type::Bytes},
    {"FromBytes", kFromBytes, kMethod, kBytes, Type::Str},
    {"Split", kSplit, kMethod, kSplitParams, Type::Bool},
    {"Fetch", kFetch, kMethod, kFetchParams, Type::Variant},
    {"Level", kLevel, kGet, {}, Type::I2},
    {"Level", kLevel, kPut, kShort, Type::Empty},
    {"Name", kName, kGet, {}, Type::Str},
    {"Name", kName, kPut, kText, Type::Empty},
    {"Enabled", kEnabled, kGet, {}, Type::Bool},
    {"Enabled", kEnabled, kPut, kBool, Type::Empty},
    {"Fire", kFire, kMethod, kShort, Type::Empty},
    {"FireFromThread", kFireFromThread, kMethod, kShort, Type::Empty},
    {"Receive", kReceive, kMethod, kBytes, Type::Empty},
    {"StartTimer", kStartTimer, kMethod, kLong, Type::Empty},
    {"StopTimer", kStopTimer, kMethod, {}, Type::Empty},
    {"Defer", kDefer, kMethod, kText, Type::Empty},
    {"Throw", kThrow, kMethod, {}, Type::Empty},
    {"Total", kTotal, kMethod, kTotalParams, Type::I4},
    {"ReceiveLater", kReceiveLater, kMethod, kLater, Type::Empty},
};

constexpr std::array<Param, 2> kTickParams{{{"n", Type::I4, Dir::In}, {"name", Type::Str, Dir::In}}};
constexpr std::array<Param, 1> kCount{{{"tick", Type::I4, Dir::In}}};

constexpr Member kEvents[] = {
    {"OnTick", kOnTick, kMethod, kTickParams, Type::Empty},
    {"OnData", kOnData, kMethod, kBytes, Type::Empty},
    {"OnTimer", kOnTimer, kMethod, kCount, Type::Empty},
    {"OnDeferred", kOnDeferred, kMethod, kText, Type::Empty},
};

constexpr ClassInfo kProbe{
    "Probe", "Probe Class", "{8D93F92E-736D-4C8D-995A-84309A10EABE}", "pinktest.Probe.1", "pinktest.Probe",
    {"PROBELib", "{00000000-0000-0000-0000-000000000001}", 1, 0, "probe 1.0 Type Library"},
    {"IProbe", "{00000000-0000-0000-0000-000000000002}", true, kMembers},
    {"_IProbeEvents", "{00000000-0000-0000-0000-000000000003}", false, kEvents},
};
static_assert(class_fault(kProbe) == nullptr);

class Probe final : public Object {
 public:
  Probe() : Object(kProbe) {}
  ~Probe() override {
    if (later_.joinable()) later_.join();
  }

 protected:
  void run(const Member& m, std::span<Value> args, Value& result) override;

 private:
  void split(std::span<Value> args, Value& result);
  void fire_from_thread(int count);
  void receive(std::vector<std::uint8_t> bytes);
  void receive_later(std::vector<std::uint8_t> bytes, std::int32_t ms);
  void fetch(std::span<Value> args, Value& result);

  std::int16_t level_ = 0;
  std::string name_;
  bool enabled_ = false;
  std::int32_t total_ = 0;
  std::int32_t ticks_ = 0;
  std::thread later_;
};

void Probe::split(std::span<Value> args, Value& result) {
  const std::string& text = args[0].str;
  const std::size_t blank = text.find(' ');
  args[1].str = text.substr(0, blank);
  args[2].num = static_cast<std::int32_t>(text.size());
  args[3].num += static_cast<std::int32_t>(text.size());
  total_ = args[3].num;
  result.num = text.empty() ? 0 : -1;
}

void Probe::fetch(std::span<Value> args, Value& result) {
  if (args[0].num <= 0) {
    args[1].num = 0;
    return;  // result stays EMPTY
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(args[0].num));
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i);
  result = Value::array(std::move(bytes));
  args[1].num = 1;
}

void Probe::fire_from_thread(int count) {
  std::thread reader([this, count] {
    for (int n = 1; n <= count; ++n) fire(kOnTick, {Value::i4(n), Value::string("thread")});
  });
  reader.join();
}

void Probe::receive(std::vector<std::uint8_t> bytes) {
  // A reader thread hands received bytes to the window, which fires on its thread.
  std::thread reader([this, bytes = std::move(bytes)] {
    window().post([this, bytes] { fire(kOnData, {Value::array(bytes)}); });
  });
  reader.join();
}

void Probe::receive_later(std::vector<std::uint8_t> bytes, std::int32_t ms) {
  if (later_.joinable()) later_.join();
  later_ = std::thread([this, ms, bytes = std::move(bytes)] {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    window().post([this, bytes] { fire(kOnData, {Value::array(bytes)}); });
  });
}

void Probe::run(const Member& m, std::span<Value> args, Value& result) {
  switch (m.dispid) {
    case kAdd: result.num = args[0].num + args[1].num; break;
    case kEcho: result.str = args[0].str; break;
    case kCp949: result.bytes.assign(args[0].str.begin(), args[0].str.end()); break;
    case kFromBytes: result.str.assign(args[0].bytes.begin(), args[0].bytes.end()); break;
    case kSplit: split(args, result); break;
    case kFetch: fetch(args, result); break;
    case kLevel:
      if (m.kind == kGet) result.num = level_;
      else level_ = static_cast<std::int16_t>(args[0].num);
      break;
    case kName:
      if (m.kind == kGet) result.str = name_;
      else name_ = args[0].str;
      break;
    case kEnabled:
      if (m.kind == kGet) result.num = enabled_ ? -1 : 0;
      else enabled_ = args[0].num != 0;
      break;
    case kFire:
      for (int n = 1; n <= args[0].num; ++n) fire(kOnTick, {Value::i4(n), Value::string(name_)});
      break;
    case kFireFromThread: fire_from_thread(args[0].num); break;
    case kReceive: receive(args[0].bytes); break;
    case kStartTimer:
      window().set_timer(1, static_cast<std::uint32_t>(args[0].num), [this] { fire(kOnTimer, {Value::i4(++ticks_)}); });
      break;
    case kStopTimer: window().kill_timer(1); break;
    case kDefer: defer(kOnDeferred, {Value::string(args[0].str)}); break;
    case kThrow: throw std::bad_alloc();
    case kTotal: args[0].num = total_; break;
    case kReceiveLater: receive_later(args[0].bytes, args[1].num); break;
    default: break;
  }
}

[[maybe_unused]] const bool kRegistered =
    (register_class(ClassEntry{&kProbe, [] { return std::unique_ptr<Object>(new Probe); }}), true);

}  // namespace
}  // namespace pink::automation::testing
