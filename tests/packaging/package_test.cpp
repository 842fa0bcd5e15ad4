// The Debian package (`make deb`) and the Windows zip (`make win32-zip`):
// what each holds and where, as the terminal receives it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/packaging/packaging.h"
#include "tools/testkit/testkit.h"

namespace fs = std::filesystem;
using namespace pink::testkit;
using namespace pink::packaging;

namespace {

bool listed(const std::string& listing, const std::string& path) {
  return listing.find(" ." + path + "\n") != std::string::npos ||
         listing.find(" ." + path + " -> ") != std::string::npos;
}

TEST(DebianPackage, HoldsProgramsLibrariesHeadersPkgConfigFilesUnitsAndItsConfiguration) {
  TempDir dir;
  // gzip: the test build's binaries are large and xz would take minutes.
  const auto made = shell("cpack -G DEB -B '" + dir.path() +
                              "' -D CPACK_OUTPUT_FILE_PREFIX='" + dir.path() +
                              "' -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip",
                          PINK_BUILD_DIR, {}, 280000);
  ASSERT_EQ(made.exit_code, 0) << made.out << made.err;
  std::string deb;
  for (const auto& e : fs::directory_iterator(dir.path())) {
    if (e.path().extension() == ".deb") deb = e.path().string();
  }
  ASSERT_FALSE(deb.empty()) << made.out;
  EXPECT_NE(fs::path(deb).filename().string().find("pink_"), std::string::npos) << deb;

  const auto contents = shell("dpkg-deb -c '" + deb + "'", dir.path());
  ASSERT_EQ(contents.exit_code, 0) << contents.err;
  const std::string& c = contents.out;
  for (const auto& p : kPrograms) EXPECT_TRUE(listed(c, "/usr/bin/" + p)) << p;
  for (const auto& l : kLibraries) {
    EXPECT_TRUE(listed(c, "/usr/lib/lib" + l + ".so")) << l;
    EXPECT_TRUE(listed(c, "/usr/lib/pkgconfig/" + l + ".pc")) << l;
  }
  for (const char* h : {"rcptlib.h", "CorvanaVAN.h", "automation.h", "pds.h"}) {
    EXPECT_TRUE(listed(c, "/usr/include/pink/" + std::string(h))) << h;
  }
  for (const char* u : {"system/kitmux@.service", "system/kitfeed@.service", "user/kitmux.service",
                        "user/kitfeed.service"}) {
    EXPECT_TRUE(listed(c, "/usr/lib/systemd/" + std::string(u))) << u;
  }
  EXPECT_TRUE(listed(c, "/etc/pink/kitchen.env"));
  EXPECT_TRUE(listed(c, "/usr/lib/python3/dist-packages/pinkauto.py"));
  // Nothing of the machine that built it: no build or staging paths.
  EXPECT_EQ(c.find("/_CPack_Packages"), std::string::npos);
  EXPECT_EQ(c.find(" ./tmp"), std::string::npos);

  const auto info = shell("dpkg-deb -f '" + deb + "' Package Version Depends Recommends", dir.path());
  EXPECT_NE(info.out.find("Package: pink"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("libsqlite3"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("Recommends: fonts-nanum"), std::string::npos) << info.out;
  const auto conffiles = shell("dpkg-deb --ctrl-tarfile '" + deb + "' | tar -xOf - ./conffiles", dir.path());
  EXPECT_EQ(conffiles.out, "/etc/pink/kitchen.env\n") << conffiles.err;

  // The packaged units name the programs and the file where the package puts them.
  const auto extracted = shell("dpkg-deb -x '" + deb + "' root", dir.path());
  ASSERT_EQ(extracted.exit_code, 0) << extracted.err;
  const std::string unit = read_text(dir.file("root/usr/lib/systemd/system/kitmux@.service"));
  EXPECT_NE(unit_value(unit, "ExecStart").find("exec /usr/bin/kitmux'"), std::string::npos) << unit;
  EXPECT_EQ(unit_value(unit, "EnvironmentFile"), "-/etc/pink/kitchen.env");
  EXPECT_EQ(dynamic_entry(dir.file("root/usr/lib/librcptlib.so"), "SONAME"), "librcptlib.so");
}

// The zip is made from whatever Windows build folder it is given: a folder
// holding what a build makes (test programs included) gives the terminal's
// layout; a folder missing a program refuses to make a zip at all.
TEST(Win32Zip, LaysOutTheTerminalsFilesAndRefusesAnIncompleteBuild) {
  TempDir dir;
  dir.mkdir("bin");
  for (const char* f : {"printer.exe", "enter.exe", "kitchen.exe", "kitchenb.exe", "kitmux.exe",
                        "kitfeed.exe", "pds.exe", "corvana.exe", "hx410.exe", "mailbox.exe",
                        "commsend.exe", "rcptlib.dll", "CorvanaVAN.dll", "ldisp.dll", "ldisp2.dll",
                        "gdisp.dll", "drawerio.dll", "cashbox.dll", "scanio.dll", "icapi.dll",
                        "msgcall.dll", "ssllib32.dll", "XOposPrint.dll", "stylpad.ocx",
                        "exportprobe.dll", "comtest.exe"}) {
    dir.write("bin/" + std::string(f), f);
  }
  const std::string script = std::string(PINK_SOURCE_DIR) + "/scripts/win32-zip";
  const auto made = run(script, {dir.file("bin"), dir.file("out/pink.zip")}, {dir.path(), {}});
  ASSERT_EQ(made.exit_code, 0) << made.err;
  const auto listing = shell("unzip -Z1 out/pink.zip | sed 's|^pink-win32-[0-9.]*/||' | sort", dir.path());
  const std::string l = listing.out;
  for (const char* f : {"printer.exe\n", "kitmux.exe\n", "rcptlib.dll\n", "CorvanaVAN.dll\n",
                        "stylpad.ocx\n", "optional/ssllib32.dll\n", "optional/XOposPrint.dll\n",
                        "samples/corvana.ini\n", "samples/hx410.ini\n", "samples/msgcall.ini\n",
                        "samples/ssllib32.ini\n", "tools/mailbox.exe\n", "README.txt\n"}) {
    EXPECT_NE(l.find(f), std::string::npos) << f << " in\n" << l;
  }
  // The stand-ins are never beside the programs, where they would replace
  // the terminal's own; test programs stay out.
  EXPECT_EQ(l.find("\nXOposPrint.dll"), std::string::npos) << l;
  EXPECT_EQ(l.find("\nssllib32.dll"), std::string::npos) << l;
  EXPECT_EQ(l.find("exportprobe"), std::string::npos) << l;
  EXPECT_EQ(l.find("comtest"), std::string::npos) << l;
  const auto readme = shell("unzip -p out/pink.zip '*/README.txt'", dir.path());
  EXPECT_NE(readme.out.find("pink for Windows terminals (32-bit)\r\n"), std::string::npos) << readme.out;
  EXPECT_EQ(readme.out.find("\r\r"), std::string::npos);

  fs::remove(dir.file("bin/corvana.exe"));
  const auto refused = run(script, {dir.file("bin"), dir.file("out/again.zip")}, {dir.path(), {}});
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(refused.err.find("corvana.exe"), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(dir.file("out/again.zip")));
}

}  // namespace
