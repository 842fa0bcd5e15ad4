// The Windows build run under Wine, for the tests of the Windows side.
//
// This machine runs the 64-bit build (build/win64/bin) in one Wine prefix per
// test run, under build/wine/prefix of the source tree (or $PINK_WINEPREFIX),
// made on first use: a lock keeps tests started at once from making it twice.
// The prefix's own links to the host's serial devices are removed when it is
// made, so a test never reaches real hardware; tests map the COM ports they
// use to pseudo-terminals, through the prefix's registry
// (HKLM\Software\Wine\Ports) and the device link Wine resolves at every open.
// Every Wine call runs under a time limit; one that Wine's launcher could not
// start at all (it ran nothing of the program) is started again, twice at most.
//
//   if (!testkit::Wine::available(&why)) FAIL() << why;
//   auto& wine = testkit::Wine::shared();
//   testkit::WinePort port(41);                     // COM41 -> a pseudo-terminal
//   auto r = wine.run(wine.program("commsend.exe"), {"COM41", "hello"});
//   EXPECT_EQ(port.read_exact(5, 5000), "hello");
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace pink::testkit {

class Wine {
 public:
  // True when Wine is installed and the 64-bit Windows build exists; else the
  // reason in `why`.
  static bool available(std::string* why = nullptr);
  // The prefix of this test run, made on first use (throws when it cannot be).
  static Wine& shared();

  const std::string& prefix() const noexcept { return prefix_; }
  // The folder of the Windows files under test, and a file in it.
  static std::string bin_dir();
  std::string program(const std::string& name) const { return bin_dir() + "/" + name; }

  // Runs a Windows program (a path on this machine, or a name Wine finds
  // such as "regsvr32", "cscript" or "reg") with `args`, under the options'
  // time limit (30 s unless given). Wine's own messages are left out of `err`.
  RunResult run(const std::string& program, const std::vector<std::string>& args,
                RunOptions options = {}) const;

  // Maps COMn of the prefix to a device of this machine, or removes it.
  void map_port(int n, const std::string& device) const;
  void unmap_port(int n) const;

  // Registry access through reg.exe: a value's data as reg shows it, or
  // nothing when it does not exist.
  std::optional<std::string> reg_query(const std::string& key, const std::string& value) const;
  bool reg_key_exists(const std::string& key) const;

  // The Windows name of a path of this machine ("Z:\tmp\x.bmp").
  static std::string windows_path(const std::string& unix_path);

 private:
  explicit Wine(std::string prefix);
  void make() const;
  std::string prefix_;
};

// A virtual serial port mapped into the shared prefix as COMn for the scope.
class WinePort : public VirtualPort {
 public:
  explicit WinePort(int com_number);
  ~WinePort();
};

// A virtual X display (Xvfb) for the scope, for programs that open windows.
class VirtualDisplay {
 public:
  VirtualDisplay();  // throws when Xvfb cannot be started
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;
  // ":N", for DISPLAY.
  const std::string& name() const noexcept { return name_; }

 private:
  std::unique_ptr<Process> server_;
  std::string name_;
};

}  // namespace pink::testkit
