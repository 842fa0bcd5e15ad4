// The automation interface's own cost, without any device or network:
// - one MMSSendDongbo-shaped call (16 arguments, twelve texts with Korean
//   among them converted to cp949, the out-argument written back) through
//   pink_invoke, on an object with the message object's member table whose
//   member does nothing;
// - from a reader thread handing data over to the object's window, to the
//   event arriving in a POS loop that polls pink_fd and pumps.
#include <poll.h>

#include <benchmark/benchmark.h>

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "automation/object.h"
#include "automation/registry.h"
#include "bench/samples.h"
#include "msgcall/members.h"
#include "pink/automation.h"

namespace {

using namespace pink;
using automation::Dir;
using automation::Type;

constexpr std::array<automation::Param, 1> kArg{{{"n", Type::I4, Dir::In}}};
constexpr automation::Member kEvents[] = {{"OnData", 1, automation::kMethod, kArg, Type::Empty}};
constexpr automation::ClassInfo kQuiet{
    "Quiet", "Quiet Class", "{}", "bench.Quiet.1", "bench.Quiet", msgcall::kClass.library,
    msgcall::kClass.dispatch, {"_QuietEvents", "{}", false, kEvents}};

// The message object's members over no client: every send is accepted. Its
// window fires OnData(n) when the bench hands n over from another thread.
class Quiet final : public automation::Object {
 public:
  Quiet() : Object(kQuiet) { last = this; }
  void hand_over(std::int32_t n) {
    window().post([this, n] { fire(1, {automation::Value::i4(n)}); });
  }
  static inline Quiet* last = nullptr;

 protected:
  void run(const automation::Member&, std::span<automation::Value> args, automation::Value&) override {
    args.back().num = 1;
  }
};

const bool kRegistered = (automation::register_class(automation::ClassEntry{
                              &kQuiet, [] { return std::unique_ptr<automation::Object>(new Quiet); }}),
                          true);

pink_value text(const char* s) { return pink_value{PINK_STR, 0, s, nullptr, 0, 0}; }
pink_value number(std::int32_t v) { return pink_value{PINK_I4, v, nullptr, nullptr, 0, 0}; }

void BM_InvokeSendDongboShapedCall(benchmark::State& state) {
  pink_object* o = pink_create("bench.Quiet");
  if (!kRegistered || o == nullptr) return state.SkipWithError("no object");
  const std::string body(static_cast<std::size_t>(state.range(0)), 'x');
  const std::int32_t id = pink_dispid(o, "MMSSendDongbo");
  for (auto _ : state) {
    std::vector<pink_value> args = {number(5), number(0), number(0), text("A000123"), text("M"),
                                    text("user01"), text("영업부"), text("01012345678"), text("0212345678"),
                                    text("오늘의 메뉴 안내"), text(body.c_str()), text(""), text("menu.jpg"),
                                    text(""), text(""), pink_value{PINK_I4, 0, nullptr, nullptr, 0, 1}};
    pink_value r{};
    if (pink_invoke(o, id, PINK_METHOD, args.data(), 16, &r) != PINK_OK || r.num != 1) {
      return state.SkipWithError("invoke failed");
    }
    benchmark::DoNotOptimize(args[15].num);
  }
  state.SetItemsProcessed(state.iterations());
  pink_release(o);
}
BENCHMARK(BM_InvokeSendDongboShapedCall)->Arg(0)->Arg(2000);

void on_data(void* ctx, std::int32_t, const char*, const pink_value* args, std::int32_t) {
  static_cast<std::atomic<std::int32_t>*>(ctx)->store(args[0].num);
}

void BM_HandedOverDataToEventInAPollLoop(benchmark::State& state) {
  pink_object* o = pink_create("bench.Quiet");
  if (o == nullptr) return state.SkipWithError("no object");
  Quiet* object = Quiet::last;
  std::atomic<std::int32_t> seen{0};
  pink_advise(o, &on_data, &seen);
  std::vector<double> latency;
  std::int32_t n = 0;
  for (auto _ : state) {
    ++n;
    bench::Clock::time_point handed;  // set by the reader; read after its hand-over ran
    std::thread reader([object, n, &handed] {
      handed = bench::Clock::now();
      object->hand_over(n);
    });
    pollfd p{pink_fd(o), POLLIN, 0};
    bool woke = true;
    while (woke && seen.load() != n) {
      woke = ::poll(&p, 1, 5000) == 1;
      pink_pump(o, 0);
    }
    const double us = bench::us_since(handed);
    reader.join();
    if (!woke) return state.SkipWithError("no wake-up");
    latency.push_back(us);
  }
  bench::report(state, latency, "handover_to_event", "us");
  pink_release(o);
}
BENCHMARK(BM_HandedOverDataToEventInAPollLoop)->Iterations(500);

}  // namespace

BENCHMARK_MAIN();
