// The resident kitchen printers `kitmux` and `kitfeed`, started as processes
// and driven through the mailbox the way the POS drives them.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <sstream>
#include <thread>
#include <utility>

#include "tests/kitchen/kitchen_fixture.h"
#include "tools/testkit/vport.h"

namespace pink {
namespace {

using testing::KitchenRun;
using testing::Resident;
using namespace std::string_literals;
using Markers = std::vector<std::string>;

// Waits without pausing, the way a POS that answers at once watches the mailbox.
bool wait_at_once(const std::function<bool()>& check, std::uint32_t timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!check()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();  // at once, but leaving the program its processor
  }
  return true;
}

// A POS that sends its next job the moment it reads "end": every job is
// taken and printed, in order. Nothing the program writes after "end" may
// touch the request flag, or a "Y" written in that moment is lost: between an
// "end" and the next job's first marker the program writes the flag exactly
// once (taking the next request).
void answer_end_at_once(const std::string& program, int com, const std::string& header) {
  constexpr int kJobs = 20;
  Resident r;
  testkit::VirtualPort port(com);
  r.start(program);
  // Generous bounds: only a job that never ends fails, not a loaded machine.
  ASSERT_TRUE(r.started()) << program << " never started";
  r.clear_trace();

  for (int i = 0; i < kJobs; ++i) {
    r.job("kitchen.zor", {header, "JOB " + std::to_string(i)});
    r.set("floyd", "kit_state", "");
    r.set("floyd", "kit_abc", "Y");
    ASSERT_TRUE(wait_at_once(
        [&] { return r.get("floyd", "kit_state") == "end" || !r.process->running(); }, 30000))
        << program << ": job " << i << " never ended";
    ASSERT_TRUE(r.process->running()) << r.process->err();
    const std::string expected = "JOB " + std::to_string(i) + "\r\n";
    ASSERT_EQ(port.read_exact(expected.size(), 10000), expected) << program << ": job " << i;
  }
  EXPECT_EQ(r.get("floyd", "kit_error"), "");

  std::istringstream trace(r.work.read("trace.txt"));
  std::vector<std::pair<std::string, std::string>> writes;  // floyd key, value
  for (std::string line; std::getline(trace, line);) {
    const auto t1 = line.find('\t');
    const auto t2 = line.find('\t', t1 + 1);
    if (line.substr(0, t1) == "floyd") writes.emplace_back(line.substr(t1 + 1, t2 - t1 - 1), line.substr(t2 + 1));
  }
  int ends = 0;
  for (std::size_t i = 0; i < writes.size(); ++i) {
    if (writes[i] != std::pair<std::string, std::string>{"kit_state", "end"}) continue;
    ++ends;
    int flag_writes = 0;
    std::size_t j = i + 1;
    for (; j < writes.size() && writes[j].first != "kit_process"; ++j) {
      if (writes[j].first == "kit_abc") ++flag_writes;
    }
    if (j < writes.size()) {
      EXPECT_EQ(flag_writes, 1) << program << ": after end number " << ends;
    }
  }
  EXPECT_EQ(ends, kJobs);
  EXPECT_EQ(r.process->terminate(5000), 0);
}

TEST(Resident, APosThatAnswersEndAtOnceLosesNoJob) {
  answer_end_at_once("kitmux", 7, "7 N0XX");
  answer_end_at_once("kitfeed", 8, "8N0XX");
}

TEST(Kitmux, OpensAPortOnceAndReportsEveryMarker) {
  Resident r;
  testkit::VirtualPort port(4);
  r.start("kitmux");
  ASSERT_TRUE(testkit::wait_until([&] { return r.get("floyd", "kit_state") == "Load"; }, 5000));
  r.submit({"4 T0X", "FIRST"});  // five characters, read as the six-character layout
  EXPECT_EQ(port.read_available(1000), "FIRST\r\n\x1B\x70\x00\x40\x50"s);
  r.submit({"4 N0X", "SECOND"});
  EXPECT_EQ(port.read_available(1000), "SECOND\r\n");
  EXPECT_TRUE(r.process->running());
  EXPECT_EQ(r.get("floyd", "kit_abc"), "N");
  EXPECT_EQ(r.get("floyd", "kit_error"), "");

  const Markers job{"ST",    "SP1-4", "SP2-4", "SP3-4", "SP4-4",
                    "SP5-4", "SP6-4", "SP7-4"};
  Markers expected{"Load"};
  expected.insert(expected.end(), job.begin(), job.end());
  expected.insert(expected.end(), job.begin(), job.end());
  EXPECT_EQ(r.markers(), expected);

  EXPECT_EQ(r.process->terminate(5000), 0);
  EXPECT_EQ(r.get("floyd", "kit_process"), "Unload");
  // The open-ports list was shown once, when port 4 was first opened.
  const std::string out = r.process->out();
  EXPECT_NE(out.find("Port Open ,4\n"), std::string::npos) << out;
  EXPECT_EQ(out.find(",4,4"), std::string::npos) << out;
}

TEST(Kitmux, PortsOutsideTheRangeEndTheProcess) {
  for (const char* header : {"17T0XX", "0 T0XX"}) {
    Resident r;
    r.start("kitmux");
    ASSERT_TRUE(testkit::wait_until([&] { return r.get("floyd", "kit_state") == "Load"; }, 5000));
    r.submit({header, "X"});
    const std::string port = header[1] == ' ' ? "0" : "17";
    EXPECT_EQ(r.process->wait(5000), 1);
    EXPECT_EQ(r.get("floyd", "kit_process"), "Err_Rtn-" + port);
    EXPECT_EQ(r.get("floyd", "kit_text").rfind(port + "-", 0), 0u) << r.get("floyd", "kit_text");
    EXPECT_EQ(r.get("floyd", "kit_error"), "syserror");
    EXPECT_EQ(r.get("floyd", "kit_abc"), "N");
    EXPECT_EQ(r.get("floyd", "kit_state"), "end");
  }
}

TEST(Kitmux, ASecondInstanceEndsAtOnceWithoutTouchingTheMailbox) {
  Resident r;
  r.start("kitmux");
  ASSERT_TRUE(testkit::wait_until([&] { return r.get("floyd", "kit_state") == "Load"; }, 5000));
  r.set("floyd", "kit_state", "marker");
  testkit::RunOptions o;
  o.cwd = r.work.path();
  auto second = testkit::run(testkit::program("kitmux"), {}, o);
  EXPECT_EQ(second.exit_code, 0);
  EXPECT_FALSE(second.timed_out);
  EXPECT_EQ(r.get("floyd", "kit_state"), "marker");
  EXPECT_TRUE(r.process->running());
}

// "--stop" from another process: the job under way is finished, the ports
// are closed ("Unload"), the program ends with status 0 and the lock is free
// for the next one.
TEST(Kitmux, StopFromAnotherProcessEndsItCleanlyAfterItsJob) {
  Resident r;
  testkit::VirtualPort port(6);
  r.start("kitmux");
  ASSERT_TRUE(testkit::wait_until([&] { return r.get("floyd", "kit_state") == "Load"; }, 5000));
  r.submit({"6 N0X", "ORDER"});
  EXPECT_EQ(port.read_available(1000), "ORDER\r\n");
  testkit::RunOptions o;
  o.cwd = r.work.path();
  const auto stop = testkit::run(testkit::program("kitmux"), {"--stop"}, o);
  EXPECT_EQ(stop.exit_code, 0) << stop.err;
  EXPECT_EQ(r.process->wait(5000), 0);
  EXPECT_EQ(r.get("floyd", "kit_process"), "Unload");

  // Nothing runs any more: a second "--stop" says so; the next start takes the lock.
  const auto again = testkit::run(testkit::program("kitmux"), {"--stop"}, o);
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_NE(again.err.find("kitmux is not running"), std::string::npos) << again.err;
  r.set("floyd", "kit_state", "");
  r.start("kitmux");
  EXPECT_TRUE(testkit::wait_until([&] { return r.get("floyd", "kit_state") == "Load"; }, 5000));
  EXPECT_EQ(testkit::run(testkit::program("kitmux"), {"--stop"}, o).exit_code, 0);
  EXPECT_EQ(r.process->wait(5000), 0);

  const auto usage = testkit::run(testkit::program("kitmux"), {"--halt"}, o);
  EXPECT_EQ(usage.exit_code, 2);
  EXPECT_NE(usage.err.find("kitmux --stop"), std::string::npos) << usage.err;
}

TEST(Kitfeed, StopFromAnotherProcessEndsIt) {
  Resident r;
  r.start("kitfeed");
  ASSERT_TRUE(r.started());
  testkit::RunOptions o;
  o.cwd = r.work.path();
  const auto stop = testkit::run(testkit::program("kitfeed"), {"--stop"}, o);
  EXPECT_EQ(stop.exit_code, 0) << stop.err;
  EXPECT_EQ(r.process->wait(5000), 0);
  EXPECT_EQ(testkit::run(testkit::program("kitfeed"), {"--stop"}, o).exit_code, 1);
}

TEST(Kitfeed, BadPortFieldsAreJobResultsAndErrorsAreNotCleared) {
  Resident r;
  testkit::VirtualPort port(3);
  r.start("kitfeed");
  // Start-up is over once its last key is written (it also resets "kit_abc").
  ASSERT_TRUE(r.started());

  r.submit({"16T0XX", "X"});
  EXPECT_EQ(r.get("floyd", "kit_error"), "syserror");
  EXPECT_EQ(r.get("floyd", "kit_text"), "포트지정오류 16");
  EXPECT_TRUE(r.process->running());
  r.clear_trace();

  r.submit({" 3T0XX", "X"});
  EXPECT_EQ(r.get("floyd", "kit_text"), "포트지정오류  3");
  EXPECT_EQ(r.markers(), (Markers{"TM1", "TM2", "TM3", "TM8"}));
  r.clear_trace();

  // A good job on port 3 leaves the earlier error; model "A" prints #NULL# as text.
  r.submit({"3TAXX", "#NULL#"});
  EXPECT_EQ(port.read_available(1000), "#NULL#\r\n\x1B\x70\x00\x40\x50"s);
  EXPECT_EQ(r.get("floyd", "kit_error"), "syserror");
  EXPECT_EQ(r.markers(), (Markers{"TM1", "TM2", "TM3", "TM4", "TM5", "TM6", "TM7", "TM8"}));
  EXPECT_EQ(r.writes_of("kit_state"), (Markers{"end"}));  // no "start" when a job begins

  // Port "P": nothing printed, the cycle still ends. Signal "S" means nothing here.
  r.submit({"PTXXX", "Y"});
  r.submit({"3S9XX", "Z"});
  EXPECT_EQ(port.read_available(1000), "Z\r\n");
  EXPECT_TRUE(r.process->running());
  EXPECT_EQ(r.process->terminate(5000), 0);
  EXPECT_NE(r.process->out().find("P-3"), std::string::npos) << r.process->out();
}

}  // namespace
}  // namespace pink
