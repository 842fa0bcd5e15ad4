// The settings store on its SQLite database: addressing, case-insensitive
// names, Korean values, failures of the store and several writers at once.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/settings.h"
#include "tools/testkit/testkit.h"

namespace pink::settings {
namespace {

using testkit::ScopedEnv;
using testkit::TempDir;
using testkit::TempStore;

// "포트지정오류 " in cp949.
const std::string kPortError = "\xC6\xF7\xC6\xAE\xC1\xF6\xC1\xA4\xBF\xC0\xB7\xF9 ";

TEST(SettingsStore, ReadsWritesAndReplaces) {
  TempStore store;
  EXPECT_EQ(get("pink", "floyd", "prttw_state"), "");

  put("pink", "floyd", "prttw_state", "start");
  EXPECT_EQ(get("pink", "floyd", "prttw_state"), "start");
  // Names compare without regard to case, like registry names.
  EXPECT_EQ(get("PINK", "FLOYD", "PRTTW_STATE"), "start");
  put("pink", "Floyd", "PRTTW_State", "end");
  EXPECT_EQ(get("pink", "floyd", "prttw_state"), "end");
  // ... but the application, section and key all address.
  EXPECT_EQ(get("pink", "spiro", "prttw_state"), "");
  EXPECT_EQ(get("other", "floyd", "prttw_state"), "");
  EXPECT_EQ(get("pink", "floyd", "prttw_stat"), "");

  // Korean text, empty values and blanks are kept as given.
  put("pink", "floyd", "prttw_text", kPortError);
  EXPECT_EQ(get("pink", "floyd", "prttw_text"), kPortError);
  put("pink", "prtspeed", "com3", "  ");
  EXPECT_EQ(get("pink", "prtspeed", "com3"), "  ");
  put("pink", "floyd", "prttw_text", "");
  EXPECT_EQ(get("pink", "floyd", "prttw_text"), "");
  // Korean names address too.
  put("pink", "\xC6\xF7\xC6\xAE", "\xC1\xF6", "1");
  EXPECT_EQ(get("pink", "\xC6\xF7\xC6\xAE", "\xC1\xF6"), "1");

  EXPECT_EQ(location(), store.path());
}

TEST(SettingsStore, ListsInCaseInsensitiveOrder) {
  TempStore store;
  put("pink", "spiro", "PortCheckYN", "Y");
  put("pink", "floyd", "kit_state", "end");
  put("pink", "floyd", "Kit_error", "syserror");
  put("pink", "Floyd", "corvana_state", "End");
  put("other", "floyd", "x", "1");

  std::vector<std::string> seen;
  for (const auto& e : list("pink")) seen.push_back(e.section + "/" + e.key + "=" + e.value);
  EXPECT_EQ(seen, (std::vector<std::string>{"floyd/corvana_state=End", "floyd/Kit_error=syserror",
                                            "floyd/kit_state=end", "spiro/PortCheckYN=Y"}));
  const auto floyd = list("pink", "FLOYD");
  ASSERT_EQ(floyd.size(), 3u);
  EXPECT_EQ(floyd[2].key, "kit_state");
  EXPECT_TRUE(list("pink", "nothing").empty());
  EXPECT_TRUE(list("nobody").empty());
}

TEST(SettingsStore, FollowsTheStoreVariable) {
  TempStore first;
  put("pink", "floyd", "pds_error", "one");
  {
    TempStore second;
    EXPECT_EQ(get("pink", "floyd", "pds_error"), "");
    put("pink", "floyd", "pds_error", "two");
    EXPECT_EQ(location(), second.path());
  }
  EXPECT_EQ(get("pink", "floyd", "pds_error"), "one");

  // Without the variable the store is ~/.config/pink/settings.db, and that
  // folder is made when it is missing.
  TempDir home;
  ScopedEnv home_env("HOME", home.path());
  ScopedEnv store_env("PINK_SETTINGS", std::nullopt);
  EXPECT_EQ(location(), home.file(".config/pink/settings.db"));
  put("pink", "floyd", "pds_error", "three");
  EXPECT_TRUE(home.exists(".config/pink/settings.db"));
  EXPECT_EQ(get("pink", "floyd", "pds_error"), "three");
}

TEST(SettingsStore, MissingFolderOrAFileThatIsNoDatabaseIsAFailureNamingThePath) {
  TempDir dir;
  dir.write("settings.db", std::string(4096, 'x'));
  for (const std::string& path : {dir.file("gone/settings.db"), dir.file("settings.db")}) {
    ScopedEnv env("PINK_SETTINGS", path);
    for (const bool writing : {true, false}) {
      try {
        if (writing) put("pink", "floyd", "kit_state", "start");
        if (!writing) get("pink", "floyd", "kit_state");
        ADD_FAILURE() << "no failure for " << path;
      } catch (const Failure& f) {
        EXPECT_EQ(f.number(), 75);
        EXPECT_EQ(f.description(), "Path/File access error");
        EXPECT_NE(f.detail().find("settings store " + path), std::string::npos) << f.detail();
      }
    }
  }
  // The folder named by the variable is not made.
  EXPECT_FALSE(dir.exists("gone"));
}

TEST(SettingsStore, ReadOnlyStoreRefusesWrites) {
  TempStore store;
  put("pink", "floyd", "kit_state", "end");
  ASSERT_EQ(::chmod(store.dir().path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(store.path().c_str(), 0444), 0);

  // A process that may only read the file (one without root's override).
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) _exit(10);
    try {
      put("pink", "floyd", "kit_state", "start");
      _exit(1);
    } catch (const Failure& f) {
      if (f.number() != 75) _exit(2);
      if (f.detail().find("settings store " + store.path()) == std::string::npos) _exit(3);
      if (f.detail().find("readonly") == std::string::npos) _exit(4);
    }
    _exit(0);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(get("pink", "floyd", "kit_state"), "end");
}

// Four processes write 500 keys each into one store at the same time: no
// write fails and none is lost.
TEST(SettingsStore, ConcurrentWritersLoseNothing) {
  TempStore store;
  constexpr int kWriters = 4, kKeys = 500;
  auto key = [](int w, int k) { return "w" + std::to_string(w) + "_k" + std::to_string(k); };
  std::vector<pid_t> pids;
  for (int w = 0; w < kWriters; ++w) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      try {
        for (int k = 0; k < kKeys; ++k) put("pink", "load", key(w, k), std::to_string(w * 100000 + k));
      } catch (...) {
        _exit(1);
      }
      _exit(0);
    }
    pids.push_back(pid);
  }
  for (const pid_t pid : pids) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer failed: " << status;
  }
  EXPECT_EQ(list("pink", "load").size(), static_cast<std::size_t>(kWriters * kKeys));
  int wrong = 0;
  for (int w = 0; w < kWriters; ++w) {
    for (int k = 0; k < kKeys; ++k) wrong += get("pink", "load", key(w, k)) != std::to_string(w * 100000 + k);
  }
  EXPECT_EQ(wrong, 0);
}

// Programs that end normally leave their writes for the next one to read
// back, and the store's journal is copied into the database often enough
// that it stays small however many programs come and go (800 writes
// unchecked would leave a journal of over 3 MB).
TEST(SettingsStore, WritesOutliveTheProgramsThatEndAndTheJournalStaysSmall) {
  TempStore store;
  constexpr int kPrograms = 40, kKeys = 20;
  auto key = [](int p, int k) { return "p" + std::to_string(p) + "_k" + std::to_string(k); };
  for (int p = 0; p < kPrograms; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      try {
        for (int k = 0; k < kKeys; ++k) put("pink", "ends", key(p, k), std::to_string(p * 1000 + k));
      } catch (...) {
        _exit(1);
      }
      std::exit(0);  // the store is closed as at the end of any program
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "program " << p << ": " << status;
  }
  int wrong = 0;
  for (int p = 0; p < kPrograms; ++p) {
    for (int k = 0; k < kKeys; ++k) wrong += get("pink", "ends", key(p, k)) != std::to_string(p * 1000 + k);
  }
  EXPECT_EQ(wrong, 0);
  std::error_code ec;
  const auto journal = std::filesystem::file_size(store.path() + "-wal", ec);
  if (!ec) {
    EXPECT_LT(journal, 1024u * 1024u);
  }
}

}  // namespace
}  // namespace pink::settings
