// The three signature pad controls registered as a terminal registers them:
// regsvr32 per machine and per user (/n /i:user) writes exactly each
// control's entries (the ProgIDs, the control class with its control
// entries, the property page, the type library and both interfaces), every
// one checked with reg query, and regsvr32 /u removes them, one control at a
// time without touching the others.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/wintest/ocx_support.h"

namespace pink::ocxtest {
namespace {

namespace fs = std::filesystem;

const std::vector<const ControlIds*> kControls = {&tallypad(), &quillpad(), &stylpad()};

// A terminal's install folder with the three controls copied into it.
struct Installed {
  testkit::TempDir dir;
  std::string windows(const ControlIds& c) const { return testkit::Wine::windows_path(dir.file(c.family + ".ocx")); }
  Installed() {
    for (const ControlIds* c : kControls) {
      fs::copy_file(testkit::Wine::bin_dir() + "/" + c->family + ".ocx", dir.file(c->family + ".ocx"));
    }
  }
};

void regsvr32(testkit::Wine& wine, std::vector<std::string> args) {
  args.insert(args.begin(), "/s");
  const auto r = wine.run("regsvr32", args);
  EXPECT_EQ(r.exit_code, 0) << args.back() << ": " << r.err;
}

TEST(OcxRegistration, PerMachineEveryEntryOfTheThreeControlsIsWrittenAndEachGoesOnItsOwn) {
  std::string why;
  ASSERT_TRUE(testkit::Wine::available(&why)) << why;
  testkit::Wine& wine = comtest::own_prefix("ocx-machine");
  Installed at;
  const std::string hklm = "HKLM\\Software\\Classes";
  for (const ControlIds* c : kControls) regsvr32(wine, {at.windows(*c)});
  SCOPED_TRACE("registered");
  for (const ControlIds* c : kControls) {
    expect_registered(wine, hklm, *c, at.windows(*c));
    EXPECT_FALSE(wine.reg_key_exists("HKCU\\Software\\Classes\\CLSID\\" + c->clsid)) << c->family;
  }
  // Registering again changes nothing.
  regsvr32(wine, {at.windows(tallypad())});
  SCOPED_TRACE("registered again");
  expect_registered(wine, hklm, tallypad(), at.windows(tallypad()));

  // Unregistering one control leaves the others whole.
  regsvr32(wine, {"/u", at.windows(quillpad())});
  SCOPED_TRACE("one unregistered");
  expect_unregistered(wine, hklm, quillpad());
  expect_registered(wine, hklm, tallypad(), at.windows(tallypad()));
  expect_registered(wine, hklm, stylpad(), at.windows(stylpad()));

  regsvr32(wine, {"/u", at.windows(tallypad())});
  regsvr32(wine, {"/u", at.windows(stylpad())});
  for (const ControlIds* c : kControls) expect_unregistered(wine, hklm, *c);
  for (const char* shared : {"CLSID", "TypeLib", "Interface"}) {
    EXPECT_TRUE(wine.reg_key_exists(hklm + "\\" + shared)) << shared;
  }
  // Unregistering what is not registered is no failure.
  regsvr32(wine, {"/u", at.windows(stylpad())});
}

TEST(OcxRegistration, PerUserTheEntriesGoUnderTheUsersClassesOnly) {
  std::string why;
  ASSERT_TRUE(testkit::Wine::available(&why)) << why;
  testkit::Wine& wine = comtest::own_prefix("ocx-user");
  Installed at;
  const std::string hkcu = "HKCU\\Software\\Classes";
  for (const ControlIds* c : kControls) regsvr32(wine, {"/n", "/i:user", at.windows(*c)});
  for (const ControlIds* c : kControls) {
    expect_registered(wine, hkcu, *c, at.windows(*c));
    EXPECT_FALSE(wine.reg_key_exists("HKLM\\Software\\Classes\\CLSID\\" + c->clsid)) << c->family;
    EXPECT_FALSE(wine.reg_key_exists("HKLM\\Software\\Classes\\" + c->progid)) << c->family;
  }
  for (const ControlIds* c : kControls) regsvr32(wine, {"/u", "/n", "/i:user", at.windows(*c)});
  for (const ControlIds* c : kControls) expect_unregistered(wine, hkcu, *c);

  // An install text the module does not know is refused and writes nothing.
  const auto r = wine.run("regsvr32", {"/s", "/n", "/i:everyone", at.windows(stylpad())});
  EXPECT_NE(r.exit_code, 0);
  expect_unregistered(wine, hkcu, stylpad());
  expect_unregistered(wine, "HKLM\\Software\\Classes", stylpad());
}

}  // namespace
}  // namespace pink::ocxtest
