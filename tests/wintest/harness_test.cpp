// The Windows build under Wine: the prefix of the test run, COM ports mapped
// to pseudo-terminals, and nothing mapped to the host's serial devices.
#include "tools/testkit/wine.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace pink {
namespace {

using testkit::Wine;

TEST(WineHarness, APortMappedToAPseudoTerminalCarriesBytesAndHostPortsAreGone) {
  std::string why;
  ASSERT_TRUE(Wine::available(&why)) << why;
  Wine& wine = Wine::shared();
  // Tests running beside this one map ports of their own (the drivers' fixed
  // COM2, COM4, COM6 among them), always to pseudo-terminals: no port below
  // COM256 leads to a serial device of this machine.
  for (int n = 1; n < 256; ++n) {
    const std::string link = wine.prefix() + "/dosdevices/com" + std::to_string(n);
    std::error_code ec;
    const auto target = std::filesystem::read_symlink(link, ec).string();
    if (ec) continue;
    EXPECT_EQ(target.rfind("/dev/pts/", 0), 0u) << link << " -> " << target;
  }
  testkit::WinePort port(41);
  EXPECT_EQ(wine.reg_query("HKLM\\Software\\Wine\\Ports", "COM41"), port.slave_path());
  const auto r = wine.run(wine.program("commsend.exe"), {"--settings", "9600,n,8,1", "COM41", "hello from Windows"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(port.read_exact(18, 10000), "hello from Windows");

  // A port nobody mapped is no port.
  const auto none = wine.run(wine.program("commsend.exe"), {"COM42", "x"});
  EXPECT_NE(none.exit_code, 0);
  EXPECT_EQ(Wine::windows_path("/tmp/a b/x.bmp"), "Z:\\tmp\\a b\\x.bmp");
}

}  // namespace
}  // namespace pink
