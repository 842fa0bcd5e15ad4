// The handheld terminal's receive loop over any stream: the actions do not
// depend on how the port cut the stream into reads, every pass that acts
// consumes input (so the loop always ends), records are non-blank text
// taken from the stream without their ETX, and every record and control is
// acknowledged. The transfer's pauses never report time left once passed.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "fuzz/check.h"
#include "handheld/controls.h"
#include "handheld/receiver.h"
#include "platform/text.h"

using namespace pink::handheld;

namespace {

// The actions of the program's loop for the stream cut at `cuts`: after
// each read, passes until one does nothing.
std::vector<Action> run(std::string_view stream, const std::vector<std::size_t>& cuts) {
  Receiver r;
  std::vector<Action> all;
  std::size_t from = 0;
  for (std::size_t i = 0; i <= cuts.size(); ++i) {
    const std::size_t to = i < cuts.size() ? cuts[i] : stream.size();
    r.feed(stream.substr(from, to - from));
    from = to;
    for (;;) {
      const std::size_t before = r.buffer().size();
      std::vector<Action> actions = r.step();
      if (actions.empty()) break;
      FUZZ_CHECK(r.buffer().size() < before);
      for (Action& a : actions) all.push_back(std::move(a));
    }
  }
  return all;
}

bool same(const std::vector<Action>& a, const std::vector<Action>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].kind != b[i].kind || a[i].record != b[i].record) return false;
  }
  return true;
}

void check_actions(std::string_view stream, const std::vector<Action>& actions) {
  std::size_t done = 0;
  for (std::size_t i = 0; i < actions.size(); ++i) {
    const Action& a = actions[i];
    FUZZ_CHECK(done == 0);  // nothing after the end
    if (a.kind == Action::Kind::Record) {
      FUZZ_CHECK(a.record.find(static_cast<char>(kEtx)) == std::string::npos);
      FUZZ_CHECK(!pink::text::trim(a.record).empty());
      FUZZ_CHECK(stream.find(a.record + static_cast<char>(kEtx)) != std::string_view::npos);
      // A record is always acknowledged, right after it.
      FUZZ_CHECK(i + 1 < actions.size() && actions[i + 1].kind == Action::Kind::SendAck);
    } else if (a.kind == Action::Kind::Done) {
      FUZZ_CHECK(i > 0 && actions[i - 1].kind == Action::Kind::SendAck);
      ++done;
    } else {
      FUZZ_CHECK(a.record.empty());
    }
  }
}

void check_pause(FuzzedDataProvider& in) {
  const double seconds = in.ConsumeFloatingPointInRange<double>(0, 5000);
  double now = in.ConsumeFloatingPointInRange<double>(0, 86400);
  Pause p(seconds, now);
  for (int i = 0; i < 8 && in.remaining_bytes() > 0; ++i) {
    now = in.ConsumeFloatingPointInRange<double>(0, 86400);
    const double left = p.left(now);
    // A timer set back less than the wrap distance lengthens the pause by
    // that much at most.
    FUZZ_CHECK(left >= 0 && left <= seconds + Pause::kWrapSeconds);
    if (p.passed(now)) FUZZ_CHECK(p.left(now) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::size_t cut_count = in.ConsumeIntegralInRange<std::size_t>(0, 6);
  std::vector<std::uint8_t> cut_seeds = in.ConsumeBytes<std::uint8_t>(cut_count);
  const std::string stream = in.ConsumeRandomLengthString(2048);
  std::vector<std::size_t> cuts;
  for (const std::uint8_t seed : cut_seeds) cuts.push_back(pink::fuzz::split_point(seed, stream.size()));
  std::sort(cuts.begin(), cuts.end());

  FUZZ_CHECK(starts_transfer(stream) == (stream.size() == 1 && stream[0] == static_cast<char>(kEnq)));
  const std::vector<Action> whole = run(stream, {});
  check_actions(stream, whole);
  FUZZ_CHECK(same(whole, run(stream, cuts)));
  check_pause(in);
  return 0;
}
