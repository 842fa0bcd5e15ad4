// The resident printers' shared core driven directly, with a mailbox in
// memory standing in for the POS.
#include "kitchen/resident_printer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tools/testkit/testkit.h"

namespace pink::kitchen {
namespace {

// The "floyd" keys in memory, every write noted; `on_put` lets a test answer
// a write the moment it is made, as a POS watching the mailbox would.
class MemoryMailbox final : public mailbox::Mailbox {
 public:
  std::string get(std::string_view section, std::string_view key) override {
    const auto it = values_.find({std::string(section), std::string(key)});
    return it == values_.end() ? std::string() : it->second;
  }
  void put(std::string_view section, std::string_view key, std::string_view value) override {
    if (fail_on == key) throw Failure(Err::PermissionDenied);
    values_[{std::string(section), std::string(key)}] = std::string(value);
    writes.emplace_back(std::string(key), std::string(value));
    if (on_put) on_put(key, value);
  }
  std::string floyd(std::string_view key) { return get("floyd", key); }

  std::vector<std::pair<std::string, std::string>> writes;
  std::function<void(std::string_view, std::string_view)> on_put;
  std::string fail_on;

 private:
  std::map<std::pair<std::string, std::string>, std::string> values_;
};

// A working folder of the test's own, made current (each case is a process).
struct Folder {
  testkit::TempDir work;
  testkit::ScopedEnv lpt{"PINK_LPT1", work.file("lpt1.out")};
  std::string previous;
  Folder() {
    char buf[4096];
    previous = ::getcwd(buf, sizeof buf) ? buf : "/";
    work.write("lpt1.out", "");
    EXPECT_EQ(::chdir(work.path().c_str()), 0);
  }
  ~Folder() { [[maybe_unused]] const int rc = ::chdir(previous.c_str()); }
  void job(const std::string& header, const std::string& line) const {
    work.write("kitchen.zor", header + "\r\n" + line + "\r\n");
  }
};

// A POS that answers "end" at once, inside the very write of "end": each job
// it asks for runs, and its request is never lost to a late write of the flag.
TEST(ResidentCore, ARequestMadeTheMomentEndIsWrittenIsKept) {
  // The parallel port, in each program's header layout (kitfeed prints nothing there).
  for (const auto& [profile, header] : {std::pair{&kitmux_profile(), "P N0XX"}, std::pair{&kitfeed_profile(), "PN0XX"}}) {
    Folder folder;
    folder.job(header, "ORDER");
    MemoryMailbox mb;
    events::Loop loop;
    ResidentPrinter printer(*profile, loop, mb);
    printer.start();
    int answered = 0;
    mb.on_put = [&](std::string_view key, std::string_view value) {
      if (key == "kit_state" && value == "end") {
        ++answered;
        mb.put("floyd", "kit_abc", "Y");
      }
    };
    mb.put("floyd", "kit_abc", "Y");
    for (int job = 1; job <= 5; ++job) {
      printer.poll();
      EXPECT_EQ(answered, job) << profile->program;
      EXPECT_EQ(mb.floyd("kit_abc"), "Y") << profile->program << ": the request after job " << job << " was lost";
    }
    EXPECT_EQ(mb.floyd("kit_error"), "") << profile->program;
  }
}

// A failed job: the failure keys, the request flag before "end", the process
// told to end; a mailbox that refuses the failure keys too still ends it.
TEST(ResidentCore, AFailedJobWritesItsKeysInOrderAndEndsTheLoop) {
  struct Expect {
    const ResidentProfile* profile;
    std::string marker, text;
  };
  for (const Expect& e : {Expect{&kitmux_profile(), "Err_Rtn-", "-File not found"},
                          Expect{&kitfeed_profile(), "EN1", "File not found"}}) {
    Folder folder;  // no job file
    {
      MemoryMailbox mb;
      events::Loop loop;
      ResidentPrinter printer(*e.profile, loop, mb);
      printer.start();
      mb.put("floyd", "kit_abc", "Y");
      mb.writes.clear();
      printer.poll();
      ASSERT_GE(mb.writes.size(), 5u) << e.profile->program;
      const std::vector<std::pair<std::string, std::string>> tail(mb.writes.end() - 5, mb.writes.end());
      const std::vector<std::pair<std::string, std::string>> expected{
          {"kit_process", e.marker}, {"kit_abc", "N"}, {"kit_state", "end"},
          {"kit_error", "syserror"}, {"kit_text", e.text}};
      EXPECT_EQ(tail, expected) << e.profile->program;
      EXPECT_EQ(loop.run(), 1) << e.profile->program;  // quit(1) was asked for
    }
    {
      MemoryMailbox refusing;
      events::Loop loop;
      ResidentPrinter printer(*e.profile, loop, refusing);
      printer.start();
      refusing.put("floyd", "kit_abc", "Y");
      refusing.fail_on = "kit_state";
      EXPECT_NO_THROW(printer.poll()) << e.profile->program;
      EXPECT_EQ(loop.run(), 1) << e.profile->program;
    }
  }
}

}  // namespace
}  // namespace pink::kitchen
