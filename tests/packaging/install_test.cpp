// The installed tree as an integrator gets it from `make install PREFIX=...`:
// what lands where, libraries named as their SONAME, programs that find their
// libraries without a search path, pkg-config files a C program builds with,
// and an administrator's environment file that a second install leaves alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/packaging/packaging.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace fs = std::filesystem;
using namespace pink::testkit;
using namespace pink::packaging;

namespace {

TEST(Install, LaysOutProgramsLibrariesHeadersPkgConfigFilesAndUnits) {
  TempDir dir;
  const std::string prefix = dir.file("prefix");
  install_tree(prefix);

  for (const auto& p : kPrograms) {
    EXPECT_TRUE(fs::exists(prefix + "/bin/" + p)) << p;
    EXPECT_EQ(dynamic_entry(prefix + "/bin/" + p, "RUNPATH"), "$ORIGIN/../lib") << p;
  }
  for (const auto& l : kLibraries) {
    const std::string file = prefix + "/lib/lib" + l + ".so";
    ASSERT_TRUE(fs::exists(file)) << l;
    EXPECT_FALSE(fs::is_symlink(file)) << l;
    // Callers load a library by this name: the file must carry it as its SONAME.
    EXPECT_EQ(dynamic_entry(file, "SONAME"), "lib" + l + ".so");
    const std::string pc = read_text(prefix + "/lib/pkgconfig/" + l + ".pc");
    EXPECT_NE(pc.find("-l" + l + "\n"), std::string::npos) << pc;
  }
  for (const char* h : {"rcptlib.h", "pds.h", "drawer.h", "scanio.h", "CorvanaVAN.h", "ssllib32.h",
                        "icapi.h", "XOposPrint.h", "msgcall.h", "automation.h"}) {
    EXPECT_TRUE(fs::exists(prefix + "/include/pink/" + std::string(h))) << h;
  }
  EXPECT_TRUE(fs::exists(prefix + "/lib/python3/dist-packages/pinkauto.py"));
  EXPECT_TRUE(fs::exists(prefix + "/share/doc/pink/docs/job-files.md"));

  // A prefix other than /usr keeps its configuration under the prefix, and
  // the units name the programs and that file where they were installed.
  EXPECT_TRUE(fs::exists(prefix + "/etc/pink/kitchen.env"));
  for (const char* unit : {"system/kitmux@.service", "system/kitfeed@.service",
                           "user/kitmux.service", "user/kitfeed.service"}) {
    const std::string text = read_text(prefix + "/lib/systemd/" + unit);
    const std::string program = std::string(unit).find("kitmux") != std::string::npos ? "kitmux" : "kitfeed";
    EXPECT_NE(text.find("exec " + prefix + "/bin/" + program + "'"), std::string::npos) << unit;
    EXPECT_NE(text.find("EnvironmentFile=-" + prefix + "/etc/pink/kitchen.env"), std::string::npos)
        << unit;
  }
}

TEST(Install, AnAdministratorsEnvironmentFileSurvivesTheNextInstall) {
  TempDir dir;
  const std::string prefix = dir.file("prefix");
  install_tree(prefix);
  const std::string env = prefix + "/etc/pink/kitchen.env";
  const std::string shipped = read_text(env);
  EXPECT_NE(shipped.find("PINK_JOBDIR"), std::string::npos);
  std::ofstream(env) << "PINK_JOBDIR=/srv/pos\n";
  install_tree(prefix);
  EXPECT_EQ(read_text(env), "PINK_JOBDIR=/srv/pos\n");
}

// A POS written in C, built against the installed tree with pkg-config and
// nothing else, prints through librcptlib on a (virtual) serial port; the
// installed receipt spooler finds the same library without a search path.
TEST(Install, CProgramsAndTheSpoolerPrintThroughTheInstalledLibrary) {
  TempDir dir;
  TempStore store;
  const std::string prefix = dir.file("prefix");
  install_tree(prefix);
  dir.write("pos.c",
            "#include <stdio.h>\n"
            "#include <pink/rcptlib.h>\n"
            "int main(void) {\n"
            "  if (OpenPort(\"COM1\", 19200) == -1) { puts(\"no printer\"); return 1; }\n"
            "  PrintString(\"TOTAL 4,500\\r\\n\");\n"
            "  PrintBytes(\"\\x1d\\x56\\x00\", 3);\n"
            "  return ClosePort();\n"
            "}\n");
  const auto built = shell("cc " + std::string(PINK_PACKAGING_CFLAGS) + " pos.c -o pos " +
                               "$(pkg-config --cflags --libs rcptlib)",
                           dir.path(), {{"PKG_CONFIG_PATH", prefix + "/lib/pkgconfig"}});
  ASSERT_EQ(built.exit_code, 0) << built.out << built.err;

  VirtualPort port(1);
  const auto r = run(dir.file("pos"), {}, {dir.path(), {{"LD_LIBRARY_PATH", ""}}});
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_EQ(port.read_for(200, 3000), std::string("TOTAL 4,500\r\n\x1d\x56\x00", 16));
  EXPECT_EQ(port.line().baud, 19200u);

  dir.write("printer.zor", "1XCXN\r\nTHANK YOU\r\n");
  const auto spooled = run(prefix + "/bin/printer", {}, {dir.path(), {{"LD_LIBRARY_PATH", ""}}});
  EXPECT_EQ(spooled.exit_code, 0) << spooled.err;
  EXPECT_EQ(port.read_for(200, 3000), "THANK YOU\r\n");
}

}  // namespace
