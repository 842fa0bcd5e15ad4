// The platform layer's Windows side under Wine, part three: printer ports
// that stand for a file or a line of this machine, and library loading by
// base name with the rule "beside the module that asks first".
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/wintest/wine_fixture.h"

namespace pink {
namespace {

using testkit::Wine;

TEST(WindowsDeviceFiles, PrinterPortsOnAFileAndOnALineAndTheFailureNumbers) {
  PINK_REQUIRE_WINE();
  testkit::TempDir dir;
  dir.write("lpt7.prn", "");
  wintest::LptLink file_port(7, dir.file("lpt7.prn"));
  testkit::VirtualPort line(69);
  wintest::LptLink line_port(8, line.slave_path());
  const std::map<std::string, std::string> env{{"PINK_TEST_DIR", Wine::windows_path(dir.path())},
                                               {"PINK_TEST_LPT_FILE", Wine::windows_path(dir.file("lpt7.prn"))}};
  EXPECT_TRUE(wintest::run_windows_suite("Device.*", env));
  EXPECT_EQ(dir.read("lpt7.prn"), std::string("FIRST LINE\r\n2\r\n\x1B@\x00!", 19));
  EXPECT_EQ(line.read_exact(14, 5000), std::string("\x1B\x40PRINTER\x00\xFF\r\n+", 14));
}

class WindowsLibraries : public ::testing::Test {
 protected:
  std::string fixtures = wintest::test_program("dynlib");
};

// The probe program loads the fixture by base name: the copy beside the
// program comes before the search path (PATH), which finds what is nowhere
// else.
TEST_F(WindowsLibraries, TheProgramFolderComesBeforeTheSearchPath) {
  PINK_REQUIRE_WINE();
  testkit::RunOptions o;
  o.env["WINEPATH"] = Wine::windows_path(fixtures + "/far");
  const auto r = Wine::shared().run(fixtures + "/near/pink_dynlib_probe.exe",
                                    {"pink_dynlib_fixture", "pink_dynlib_fixture_far_only", "pink_dynlib_nowhere"}, o);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
  const std::string near = Wine::windows_path(fixtures + "/near/pink_dynlib_fixture.dll");
  EXPECT_NE(r.out.find("pink_dynlib_fixture: near from " + near), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("pink_dynlib_fixture_far_only: far only from pink_dynlib_fixture_far_only.dll"),
            std::string::npos)
      << r.out;
  // Both places looked in are named: beside the program, then the search path.
  const std::string beside = Wine::windows_path(fixtures + "/near/pink_dynlib_nowhere.dll");
  EXPECT_NE(r.out.find("pink_dynlib_nowhere: not loaded: no " + beside + "; pink_dynlib_nowhere.dll: Windows error"),
            std::string::npos)
      << r.out;
}

// A POS in a folder of its own loads a library of the suite by full path;
// that library finds its companions beside itself (before the program's
// folder and the search path), and a companion's own link-time imports
// beside it too.
TEST_F(WindowsLibraries, ALibraryLoadedFromAnotherFolderFindsItsCompanionsBesideItself) {
  PINK_REQUIRE_WINE();
  testkit::TempDir pos;
  testkit::RunOptions o;
  o.cwd = pos.path();
  o.env["WINEPATH"] = Wine::windows_path(fixtures + "/far");
  const std::string asker = Wine::windows_path(fixtures + "/asker/pink_dynlib_asker.dll");
  const auto r = Wine::shared().run(wintest::test_program("libcall.exe"),
                                    {asker, "AskerLoad,s:pink_dynlib_fixture,b:4096,i:4096",
                                     "AskerLoad,s:pink_dynlib_needs,b:4096,i:4096",
                                     "AskerLoad,s:pink_dynlib_fixture_far_only,b:4096,i:4096",
                                     "AskerLoad,s:pink_dynlib_nowhere,b:4096,i:4096"},
                                    o);
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  const std::string beside = Wine::windows_path(fixtures + "/asker/");
  EXPECT_NE(r.out.find("AskerLoad#2=asker from " + beside + "pink_dynlib_fixture.dll\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("AskerLoad#2=needs, with its companion from " + beside + "pink_dynlib_needs.dll\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("AskerLoad#2=far only from pink_dynlib_fixture_far_only.dll\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("AskerLoad=0\nAskerLoad#2=not loaded: "), std::string::npos) << r.out;
}

}  // namespace
}  // namespace pink
