// The service units of the resident kitchen printers: sound unit files for
// the service manager, and a start command and restart policy that fit how
// the programs end (a failed job ends the program with a failure status, to
// be started again; a stop ends it cleanly, to stay stopped).
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/settings.h"
#include "tests/packaging/packaging.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace fs = std::filesystem;
using namespace pink;
using namespace pink::testkit;
using namespace pink::packaging;

namespace {

const char* kUnits[] = {"system/kitmux@.service", "system/kitfeed@.service", "user/kitmux.service",
                        "user/kitfeed.service"};

TEST(ServiceUnits, AreSoundForTheServiceManagerAndRestartOnlyAfterAFailure) {
  TempDir dir;
  const std::string prefix = dir.file("prefix");
  install_tree(prefix);
  const bool analyze = shell("command -v systemd-analyze", "/").exit_code == 0;
  for (const char* unit : kUnits) {
    const std::string path = prefix + "/lib/systemd/" + unit;
    const std::string text = read_text(path);
    EXPECT_EQ(unit_value(text, "Restart"), "on-failure") << unit;
    EXPECT_EQ(unit_value(text, "Type"), "simple") << unit;
    EXPECT_FALSE(unit_value(text, "RestartSec").empty()) << unit;
    EXPECT_FALSE(unit_value(text, "StartLimitBurst").empty()) << unit;
    EXPECT_FALSE(unit_value(text, "WantedBy").empty()) << unit;
    EXPECT_EQ(unit_value(text, "EnvironmentFile"), "-" + prefix + "/etc/pink/kitchen.env") << unit;
    const bool system = std::string(unit).rfind("system/", 0) == 0;
    EXPECT_EQ(unit_value(text, "User"), system ? "%i" : "") << unit;
    if (!analyze) continue;
    // A template is checked through an instance of it.
    std::string checked = path;
    if (system) {
      checked = dir.file(fs::path(unit).filename().string());
      checked.insert(checked.find("@") + 1, "pos");
      fs::copy_file(path, checked, fs::copy_options::overwrite_existing);
    }
    dir.mkdir("xdg");
    const auto r = shell(std::string("systemd-analyze ") + (system ? "" : "--user ") + "verify '" +
                             checked + "'",
                         dir.path(), {{"XDG_RUNTIME_DIR", dir.file("xdg")}}, 60000);
    EXPECT_EQ(r.exit_code, 0) << unit << ": " << r.out << r.err;
    EXPECT_EQ(r.out + r.err, "") << unit << ": every complaint counts";
  }
}

// The unit's start command, as the service manager runs it (its $$ is one $).
std::string start_command(const std::string& unit_text) {
  std::string cmd = unit_value(unit_text, "ExecStart");
  for (auto at = cmd.find("$$"); at != std::string::npos; at = cmd.find("$$", at + 1)) cmd.erase(at, 1);
  const auto quote = cmd.find('\'');
  return cmd.substr(quote + 1, cmd.rfind('\'') - quote - 1);
}

TEST(ServiceUnits, StartCommandRunsThePrinterInTheJobFolderAndItsExitFitsTheRestartPolicy) {
  TempDir dir;
  TempStore store;
  const std::string prefix = dir.file("prefix");
  install_tree(prefix);
  dir.mkdir("jobs");
  const std::string cmd = start_command(read_text(prefix + "/lib/systemd/system/kitmux@.service"));
  ASSERT_FALSE(cmd.empty());

  VirtualPort port(3);
  const RunOptions options{dir.path(), {{"PINK_JOBDIR", dir.file("jobs")}, {"PINK_LOCKDIR", dir.path()}}};
  {
    Process service("/bin/sh", {"-c", cmd}, options);
    ASSERT_TRUE(wait_until([] { return settings::get("pink", "floyd", "kit_process") == "Load"; }, 20000))
        << service.err();
    dir.write("jobs/kitchen.zor", "3 T0XN\r\nORDER 12\r\n");
    settings::put("pink", "floyd", "kit_abc", "Y");
    ASSERT_TRUE(wait_until([] { return settings::get("pink", "floyd", "kit_state") == "end"; }, 20000))
        << service.err();
    EXPECT_EQ(settings::get("pink", "floyd", "kit_process"), "SP7-3");
    EXPECT_EQ(port.read_for(200, 3000), std::string("ORDER 12\r\n\x1b\x70\x00\x40\x50", 15));
    // Stopped by the service manager (SIGTERM): a clean end, not restarted.
    EXPECT_EQ(service.terminate(10000), 0) << service.err();
  }
  {
    // A job on a port that is no port fails: the program ends with a
    // failure status, which the restart policy answers with a new start.
    Process service("/bin/sh", {"-c", cmd}, options);
    ASSERT_TRUE(wait_until([] { return settings::get("pink", "floyd", "kit_process") == "Load"; }, 20000));
    dir.write("jobs/kitchen.zor", "17T0XN\r\nORDER 13\r\n");
    settings::put("pink", "floyd", "kit_abc", "Y");
    const auto status = service.wait(20000);
    ASSERT_TRUE(status.has_value()) << service.err();
    EXPECT_NE(*status, 0);
    EXPECT_EQ(settings::get("pink", "floyd", "kit_process"), "Err_Rtn-17");
  }
}

}  // namespace
