// What the tests of the Windows build share: the Windows test programs,
// programs left running under Wine, the other end of a serial line played
// for a Windows test program, printer ports mapped to files or lines, and
// the prefix's settings mailbox.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"
#include "tools/testkit/wine.h"

namespace pink::wintest {

// Fails the test when Wine or the 64-bit build is missing.
#define PINK_REQUIRE_WINE()                                  \
  do {                                                       \
    std::string pink_why_;                                   \
    ASSERT_TRUE(::pink::testkit::Wine::available(&pink_why_)) << pink_why_; \
  } while (false)

// The folder of the Windows test programs (<build>/win64/wintests) and a file in it.
std::string tests_dir();
std::string test_program(const std::string& name);

// A Windows program left running under Wine, with the prefix's environment.
std::unique_ptr<testkit::Process> start(const std::string& program, const std::vector<std::string>& args,
                                        testkit::RunOptions options = {});

// Runs one or more suites of winplatform_tests.exe ("Settings.*") with the
// given environment and prints its report when it fails.
::testing::AssertionResult run_windows_suite(const std::string& filter,
                                             const std::map<std::string, std::string>& env = {},
                                             std::uint32_t timeout_ms = 60000);

// Runs a Windows test program that asks for the other end of its line
// (tests/win/platform/serial_peer.h) and answers it on `port` until the
// program ends; success when it ends with status 0 within the time.
::testing::AssertionResult run_with_peer(testkit::VirtualPort& port, const std::string& program,
                                         const std::vector<std::string>& args, const testkit::RunOptions& options,
                                         std::uint32_t timeout_ms = 60000);

// A virtual display for Windows programs that open windows. The prefix's
// own desktop belongs to whichever display its server started with (often
// none), so the programs named here get a desktop of their own on this
// display, for the scope (Wine's per-program desktop setting).
class WindowsDisplay {
 public:
  explicit WindowsDisplay(std::vector<std::string> programs);  // "hx410.exe"
  ~WindowsDisplay();
  WindowsDisplay(const WindowsDisplay&) = delete;
  WindowsDisplay& operator=(const WindowsDisplay&) = delete;
  // Options with DISPLAY set to this display.
  testkit::RunOptions options(testkit::RunOptions o = {}) const;

 private:
  testkit::VirtualDisplay display_;
  std::vector<std::string> programs_;
  std::string desktop_;
  testkit::TempDir probe_dir_;
  std::string probe_;  // windowprobe.exe under a name of this process's own
};

// LPTn of the prefix, a link to a file or device of this machine, for the scope.
class LptLink {
 public:
  LptLink(int n, const std::string& target);
  ~LptLink();
  LptLink(const LptLink&) = delete;
  LptLink& operator=(const LptLink&) = delete;

 private:
  std::string name_;
  std::string link_;
};

// Held while a test uses what the prefix has only once: its settings
// mailbox (HKCU\Software\VB and VBA Program Settings\pink), "c:\sign.bmp",
// LPT1. Tests that do not take it run beside those that do.
class PrefixLock {
 public:
  PrefixLock();
  ~PrefixLock();
  PrefixLock(const PrefixLock&) = delete;
  PrefixLock& operator=(const PrefixLock&) = delete;

 private:
  int fd_ = -1;
};

// The prefix's settings mailbox, through the Windows mailbox tool. Names and
// values are UTF-8 here.
struct Entry {
  std::string section, key, value;
  bool operator==(const Entry&) const = default;
};
void clear_mailbox();
void put(const std::string& section, const std::string& key, const std::string& value);
std::string get(const std::string& section, const std::string& key);
std::vector<Entry> list_mailbox();

// Prints entries for a failure message.
std::string describe(const std::vector<Entry>& entries);

}  // namespace pink::wintest
