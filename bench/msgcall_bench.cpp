// The message sending client against msgsim on loopback.
//
// BM_SendWithAttachment: one mms_send of a 2 kB text with a 100 kB file, as
// the POS sees it (connect, login, message, result, close, three day-log
// lines), next to a bare login round trip on an open connection. The
// figure to watch is the margin beyond two such round trips (target: under
// 2 ms).
//
// BM_BatchOfThousand: 1000 messages over one connection (mms_connect, the
// first logging in, mms_send_dongbo each waiting for its result,
// mms_close): messages per second (target: beyond 10,000 messages in
// 210 ms, i.e. 47,619 per second).
#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "bench/samples.h"
#include "msgcall/link.h"
#include "msgcall/msgcall.h"
#include "msgcall/records.h"
#include "tools/testkit/testkit.h"

namespace {

using namespace pink;
using bench::Clock;

// msgsim on a port of its own, and the client's settings pointing at it.
struct Setup {
  testkit::TempDir dir;
  std::unique_ptr<testkit::Process> sim;
  std::uint16_t port = 0;
  std::unique_ptr<testkit::ScopedEnv> primary, logs;

  bool start() {
    sim = std::make_unique<testkit::Process>(testkit::program("msgsim"), std::vector<std::string>{"--port", "0", "--quiet"});
    if (!testkit::wait_until([&] { return sim->out().find('\n') != std::string::npos; }, 10000)) return false;
    const std::string first = sim->out().substr(0, sim->out().find('\n'));
    port = static_cast<std::uint16_t>(std::stoi(first.substr(first.rfind(':') + 1)));
    primary = std::make_unique<testkit::ScopedEnv>("PINK_MSG_PRIMARY", "127.0.0.1:" + std::to_string(port));
    logs = std::make_unique<testkit::ScopedEnv>("PINK_MSG_LOGDIR", dir.path());
    return true;
  }
  // msgsim's output is read now and then so that its pipe never fills.
  void drain() { sim->out(); }
};

msgcall::Message message(std::string text) {
  msgcall::Message m;
  m.seq_no = "20240131-0001";
  m.type = "M";
  m.user_code = "user01";
  m.dept_code = "dept01";
  m.call_phone = "01012345678";
  m.req_phone = "0212345678";
  m.subject = "Receipt";
  m.call_message = std::move(text);
  m.rdatetime = "2024013112000000";
  return m;
}

// Login round trips on one open connection, in milliseconds.
std::vector<double> login_round_trips(std::uint16_t port, int count) {
  std::vector<double> samples;
  auto connected = net::connect("127.0.0.1", port, 5000);
  if (!connected) return samples;
  std::unique_ptr<net::Socket> s = std::move(*connected);
  s->set_no_delay(true);
  const auto request = msgcall::wire::login_request(message(""));
  std::array<std::uint8_t, 4> reply{};
  for (int i = 0; i < count; ++i) {
    const auto t = Clock::now();
    if (msgcall::link::send_all(s.get(), request) != 67 || msgcall::link::recv_exact(s.get(), reply) != 4) break;
    samples.push_back(bench::ms_since(t));
  }
  return samples;
}

void BM_SendWithAttachment(benchmark::State& state) {
  Setup setup;
  if (!setup.start()) {
    state.SkipWithError("msgsim does not start");
    return;
  }
  std::string file(100 * 1024, '\0');
  for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<char>(i * 31);
  setup.dir.write("photo.jpg", file);
  msgcall::Message m = message(std::string(2048, 'T'));
  m.file_paths = {setup.dir.file("photo.jpg"), "", ""};

  std::vector<double> sends;
  for (auto _ : state) {
    const auto t = Clock::now();
    if (msgcall::mms_send(m) != msgcall::kAccepted) state.SkipWithError("the send was not accepted");
    sends.push_back(bench::ms_since(t));
    setup.drain();
  }
  const double send = bench::report(state, sends, "send");
  const double login = bench::report(state, login_round_trips(setup.port, 200), "login_rt");
  state.counters["beyond_two_rt_median_ms"] = send - 2 * login;
}

void BM_BatchOfThousand(benchmark::State& state) {
  Setup setup;
  if (!setup.start()) {
    state.SkipWithError("msgsim does not start");
    return;
  }
  constexpr int kMessages = 1000;
  const msgcall::Message m = message("Your order 1024 is ready at the counter.");
  std::vector<double> batches;
  for (auto _ : state) {
    const auto t = Clock::now();
    const std::int32_t s = msgcall::mms_connect();
    for (int i = 0; i < kMessages; ++i) {
      if (msgcall::mms_send_dongbo(s, i == 0 ? 1 : 0, i == kMessages - 1 ? 1 : 0, m) != msgcall::kAccepted) {
        state.SkipWithError("a batch message was not accepted");
        break;
      }
    }
    msgcall::mms_close(s);
    batches.push_back(bench::ms_since(t));
    setup.drain();
  }
  const double median = bench::report(state, batches, "batch");
  if (median > 0) {
    state.counters["messages_per_s"] = kMessages * 1000.0 / median;
    state.counters["us_per_message"] = median * 1000.0 / kMessages;
  }
}

BENCHMARK(BM_SendWithAttachment)->Iterations(200)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BatchOfThousand)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
