// Signature pads whose serial device vanishes in the middle of a job, each
// control driven through the automation interface as a POS drives it: the
// control reports the failure through its results and events, no thread of
// it spins or hangs, and it can be released at once.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <future>
#include <string>
#include <vector>

#include "pink/automation.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace pink {
namespace {

using Clock = std::chrono::steady_clock;

// A control and the names of the events it fired.
class Control {
 public:
  explicit Control(const char* progid) : o_(pink_create(progid)) {
    if (o_ != nullptr) pink_advise(o_, &Control::on_event, this);
  }
  ~Control() { release(); }
  bool ok() const { return o_ != nullptr; }

  // Calls a method with string and number arguments; its numeric result.
  std::int32_t call(const char* member, std::vector<pink_value> args = {}) {
    pink_value result{};
    const std::int32_t id = pink_dispid(o_, member);
    EXPECT_GE(id, 0) << member;
    EXPECT_EQ(pink_invoke(o_, id, PINK_METHOD, args.data(), static_cast<std::int32_t>(args.size()), &result), 0)
        << member;
    return result.num;
  }
  // A Data method: the out-argument, and the size of the byte array given.
  std::pair<std::int32_t, std::int32_t> call_data(const char* member) {
    pink_value out{PINK_I2, 0, nullptr, nullptr, 0, 1};
    pink_value result{};
    EXPECT_EQ(pink_invoke(o_, pink_dispid(o_, member), PINK_METHOD, &out, 1, &result), 0) << member;
    return {out.num, result.type == PINK_BYTES ? result.len : 0};
  }
  // Pumps for `ms` or until `name` has fired.
  bool pump_until_event(const std::string& name, int ms) {
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < until) {
      if (fired(name)) return true;
      pink_pump(o_, 20);
    }
    return fired(name);
  }
  bool fired(const std::string& name) const {
    for (const auto& e : events) {
      if (e == name) return true;
    }
    return false;
  }
  // Releases the control; false when that did not end within the limit.
  bool release() {
    if (o_ == nullptr) return true;
    pink_object* o = o_;
    o_ = nullptr;
    auto done = std::async(std::launch::async, [o] { pink_release(o); });
    return done.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  }

  std::vector<std::string> events;

 private:
  static void on_event(void* ctx, std::int32_t, const char* name, const pink_value*, std::int32_t) {
    static_cast<Control*>(ctx)->events.emplace_back(name);
  }
  pink_object* o_;
};

pink_value str(const char* s) { return {PINK_STR, 0, s, nullptr, 0, 0}; }
pink_value i2(std::int32_t n) { return {PINK_I2, n, nullptr, nullptr, 0, 0}; }
pink_value i4(std::int32_t n) { return {PINK_I4, n, nullptr, nullptr, 0, 0}; }

// Processor time of this process (all threads) over `ms` of pumping.
double cpu_seconds_pumping(Control& c, int ms) {
  auto cpu = [] {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
  };
  const double before = cpu();
  c.pump_until_event("<none>", ms);
  return cpu() - before;
}

TEST(VanishingPad, TallypadGivesItsFailureCodesAndReleasesAtOnce) {
  testkit::VirtualPort port(51);
  Control c("TALLYPAD.TallypadCtrl.1");
  ASSERT_TRUE(c.ok());
  ASSERT_EQ(c.call("SetPortNo", {i2(51)}), 1);
  ASSERT_EQ(c.call("TallySignReq", {str("5000"), str("sign please")}), 1);
  ASSERT_FALSE(port.read_available(5000).empty());  // the request reached the pad
  port.write("\x02\x00");                             // the answer begins...
  port.unplug();                                      // ...and the pad goes
  EXPECT_LT(cpu_seconds_pumping(c, 1500), 0.5) << "a thread spins on the vanished port";
  EXPECT_EQ(c.call_data("TallySignSendData"), std::make_pair(0, 0));
  // A new request cannot reach the pad: its failure code, at once.
  EXPECT_EQ(c.call("TallyPadInit"), 0);
  EXPECT_EQ(c.call("TallySignReq", {str("5000"), str("again")}), 0);
  EXPECT_EQ(c.call_data("TallyPadInitData"), std::make_pair(0, 0));
  EXPECT_TRUE(c.release()) << "the release hangs";
}

TEST(VanishingPad, QuillpadReportsPadErrorAndReleasesAtOnce) {
  testkit::VirtualPort port(52);
  Control c("QUILLPAD.QuillpadCtrl.1");
  ASSERT_TRUE(c.ok());
  c.call("SetPortNo", {i2(52)});
  ASSERT_EQ(c.call("QuillGetCustInfo"), 0);
  ASSERT_FALSE(port.read_available(5000).empty());
  port.unplug();
  // No answer comes: the response time runs out and the pad error fires.
  EXPECT_TRUE(c.pump_until_event("OnPadError", 20000));
  EXPECT_LT(cpu_seconds_pumping(c, 1000), 0.5) << "a thread spins on the vanished port";
  EXPECT_EQ(c.call_data("QuillGetCustInfoData"), std::make_pair(0, 0));
  // A new job cannot open the port: 1, and the pad error again.
  c.events.clear();
  EXPECT_EQ(c.call("QuillElecSign", {str("1234567890123456"), str(std::string(60, '0').c_str())}), 1);
  EXPECT_TRUE(c.pump_until_event("OnPadError", 20000));
  EXPECT_TRUE(c.release()) << "the release hangs";
}

TEST(VanishingPad, StylpadReportsTheLostPadAndReleasesAtOnce) {
  testkit::TempDir logs;
  testkit::VirtualPort port(6);
  Control c("STYLPAD.StylPadCtrl.1");
  ASSERT_TRUE(c.ok());
  const std::string log_path = logs.path() + "/";
  ASSERT_EQ(c.call("OpenSign", {str(log_path.c_str()), i4(6), str("1000")}), 0);
  ASSERT_FALSE(port.read_available(5000).empty());  // init reached the pad
  port.unplug();
  // Init goes unanswered: after its attempts the pad job ends with an
  // error code, the port is let go and the control says so.
  EXPECT_TRUE(c.pump_until_event("GetOCXMsg", 20000));
  EXPECT_TRUE(c.fired("errCode"));
  EXPECT_LT(cpu_seconds_pumping(c, 1000), 0.5) << "a thread spins on the vanished port";
  EXPECT_EQ(c.call("GetRtnVal"), 0);
  // The pad is gone: a new pad job cannot open the port.
  EXPECT_EQ(c.call("OpenSign", {str(log_path.c_str()), i4(6), str("1000")}), -1);
  EXPECT_TRUE(c.release()) << "the release hangs";
}

}  // namespace
}  // namespace pink
