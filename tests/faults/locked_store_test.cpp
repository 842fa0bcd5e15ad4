// The settings store held by another process for longer than any program
// waits for it: each program ends with a clear failure on its console and
// writes nothing; the store is whole and usable once it is let go.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/settings.h"
#include "tests/kitchen/kitchen_fixture.h"
#include "tools/testkit/vport.h"

namespace pink {
namespace {

// Holds a write transaction on the store (with a row of its own in it) for
// the given seconds, then rolls it back, as a POS that hangs inside its own
// write would.
constexpr const char* kHolder = R"py(
import sqlite3, sys, time
db = sqlite3.connect(sys.argv[1], isolation_level=None, timeout=30)
db.execute("PRAGMA journal_mode=WAL")
db.execute("BEGIN IMMEDIATE")
db.execute("INSERT OR REPLACE INTO settings (app, section, key, value) VALUES ('pink', 'floyd', 'half', 'written')")
print("locked", flush=True)
time.sleep(float(sys.argv[2]))
db.execute("ROLLBACK")
)py";

// Longer than a statement of the store waits in all (its busy time-out and
// the retries after it), with room for a loaded machine.
constexpr int kHoldSeconds = 100;

TEST(LockedStore, ProgramsFailClearlyAndWriteNothing) {
  testing::KitchenRun r;
  testkit::VirtualPort port(9);
  r.set("floyd", "prttw_state", "before");
  r.set("floyd", "kit_state", "before");
  r.job("printer.zor", {"9X0XN", "RECEIPT"});
  r.job("kitchen.zor", {"9T0XX", "ORDER"});

  testkit::Process holder("/usr/bin/env", {"python3", "-c", kHolder, r.store.path(), std::to_string(kHoldSeconds)});
  ASSERT_TRUE(testkit::wait_until([&] { return holder.out().find("locked") != std::string::npos; }, 20000))
      << holder.err();

  testkit::RunOptions o;
  o.cwd = r.work.path();
  o.timeout_ms = (kHoldSeconds - 5) * 1000;
  testkit::Process printer(testkit::program("printer"), {}, o);
  testkit::Process kitchen(testkit::program("kitchen"), {}, o);
  const auto printer_code = printer.wait(o.timeout_ms);
  const auto kitchen_code = kitchen.wait(o.timeout_ms);
  ASSERT_TRUE(holder.running()) << "the store was let go before the programs gave up";
  ASSERT_TRUE(printer_code.has_value()) << "printer still waits for the store";
  ASSERT_TRUE(kitchen_code.has_value()) << "kitchen still waits for the store";
  EXPECT_EQ(*printer_code, 2);
  EXPECT_EQ(*kitchen_code, 2);
  for (const std::string& err : {printer.err(), kitchen.err()}) {
    EXPECT_NE(err.find("settings store"), std::string::npos) << err;
    EXPECT_NE(err.find("locked"), std::string::npos) << err;
  }
  // Nothing reached the printer: the job never started.
  EXPECT_EQ(port.read_available(200), "");

  holder.terminate(5000);
  // The holder's row went with its transaction; the programs wrote nothing.
  EXPECT_EQ(r.get("floyd", "half"), "");
  EXPECT_EQ(r.get("floyd", "prttw_state"), "before");
  EXPECT_EQ(r.get("floyd", "kit_state"), "before");
  EXPECT_EQ(r.get("spiro", "9"), "");
  // The store takes writes again, and the next job runs.
  EXPECT_EQ(r.run("printer").exit_code, 0);
  EXPECT_EQ(port.read_available(5000), "RECEIPT\r\n");
}

}  // namespace
}  // namespace pink
