// Settings store in one SQLite database shared by every program of the suite
// (and the POS side) on this machine.
//
// The database is $PINK_SETTINGS, or ~/.config/pink/settings.db. One
// connection per process is opened at first use and kept; it is opened again
// when $PINK_SETTINGS names another file, and in a forked child (a connection
// must not cross fork()). The WAL journal lets readers go on while one process
// writes; writers queue on the busy time-out, and a write still refused after
// it is retried, so several programs writing at once never see a failure.
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "platform/failure.h"
#include "platform/settings.h"
#include "platform/text.h"

namespace pink::settings {
namespace {

constexpr int kBusyTimeoutMs = 10000;
// How long a statement refused with SQLITE_BUSY or SQLITE_LOCKED is retried
// after the busy handler gave up (or was not consulted, as when a WAL reader
// meets a recovery in progress).
constexpr auto kRetryFor = std::chrono::seconds(60);
// Journal pages after which a write copies the journal into the database.
constexpr int kCheckpointPages = 128;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS settings ("
    " app TEXT NOT NULL COLLATE NOCASE,"
    " section TEXT NOT NULL COLLATE NOCASE,"
    " key TEXT NOT NULL COLLATE NOCASE,"
    " value TEXT NOT NULL,"
    " PRIMARY KEY (app, section, key)) WITHOUT ROWID";

constexpr const char* kGet = "SELECT value FROM settings WHERE app = ?1 AND section = ?2 AND key = ?3";
// Like a registry key, an application or section keeps the spelling it was
// first written with: a new key joins the existing section of that name.
constexpr const char* kPut =
    "INSERT INTO settings (app, section, key, value) VALUES ("
    " coalesce((SELECT app FROM settings WHERE app = ?1 LIMIT 1), ?1),"
    " coalesce((SELECT section FROM settings WHERE app = ?1 AND section = ?2 LIMIT 1), ?2),"
    " ?3, ?4)"
    " ON CONFLICT (app, section, key) DO UPDATE SET value = excluded.value";
constexpr const char* kListApp =
    "SELECT section, key, value FROM settings WHERE app = ?1 ORDER BY section, key";
constexpr const char* kListSection =
    "SELECT section, key, value FROM settings WHERE app = ?1 AND section = ?2 ORDER BY key";

std::string home_folder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
    return pw->pw_dir;
  }
  return ".";
}

// The store's path (native, UTF-8): $PINK_SETTINGS, or the default store.
std::string store_path() {
  if (const char* p = std::getenv("PINK_SETTINGS"); p != nullptr && *p != '\0') return p;
  return home_folder() + "/.config/pink/settings.db";
}

// Makes ~/.config/pink for the default store. A folder named by
// $PINK_SETTINGS is never made: a store there that cannot be opened is a
// failure of the set-up, reported as such.
void make_default_folder(const std::string& path) {
  if (const char* p = std::getenv("PINK_SETTINGS"); p != nullptr && *p != '\0') return;
  const std::string folder = path.substr(0, path.rfind('/'));
  ::mkdir(folder.substr(0, folder.rfind('/')).c_str(), 0700);
  ::mkdir(folder.c_str(), 0700);
}

[[noreturn]] void fail(const std::string& path, const std::string& message) {
  throw Failure(Err::PathFileAccessError, describe(Err::PathFileAccessError),
                "settings store " + text::utf8_to_cp949(path) + ": " + text::utf8_to_cp949(message));
}

bool is_busy(int rc) noexcept {
  const int primary = rc & 0xFF;
  return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

// Runs `attempt` until it reports something other than busy, or the retry
// time is over; the pause between attempts is short and random so that
// waiting processes do not retry in step.
template <class Attempt>
int with_retry(Attempt attempt) {
  const auto deadline = std::chrono::steady_clock::now() + kRetryFor;
  thread_local std::minstd_rand jitter(static_cast<unsigned>(::getpid()));
  for (;;) {
    const int rc = attempt();
    if (!is_busy(rc) || std::chrono::steady_clock::now() >= deadline) return rc;
    std::this_thread::sleep_for(std::chrono::microseconds(500 + jitter() % 4500));
  }
}

class Statement {
 public:
  Statement() = default;
  ~Statement() { ::sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  sqlite3_stmt*& handle() { return stmt_; }
  void finalize() {
    ::sqlite3_finalize(stmt_);
    stmt_ = nullptr;
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// Leaves a statement ready for its next use whatever happened to it.
class Use {
 public:
  explicit Use(sqlite3_stmt* s) : s_(s) {}
  ~Use() {
    ::sqlite3_reset(s_);
    ::sqlite3_clear_bindings(s_);
  }
  Use(const Use&) = delete;
  Use& operator=(const Use&) = delete;

 private:
  sqlite3_stmt* s_;
};

class Store {
 public:
  explicit Store(std::string path) : path_(std::move(path)), pid_(::getpid()) {
    const int rc = ::sqlite3_open_v2(path_.c_str(), &db_,
                                     SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
      const std::string message = db_ != nullptr ? ::sqlite3_errmsg(db_) : ::sqlite3_errstr(rc);
      ::sqlite3_close(db_);
      db_ = nullptr;
      fail(path_, message);
    }
    try {
      ::sqlite3_extended_result_codes(db_, 1);
      // The busy time-out first: switching the journal already needs a lock
      // that another process may hold.
      ::sqlite3_busy_timeout(db_, kBusyTimeoutMs);
      exec("PRAGMA journal_mode=WAL");
      // In WAL mode NORMAL keeps the database consistent across a crash and
      // spares a flush per write; a value written just before a power loss
      // may be lost, as with the registry's lazy flush.
      exec("PRAGMA synchronous=NORMAL");
      // The store outlives the short programs that write it: a program that
      // ends leaves the journal in place instead of copying it back into the
      // database and deleting it, which costs two flushes at every exit and
      // a flushed new journal at the next start. The copy is made by
      // whichever write finds the journal past kCheckpointPages, which also
      // bounds what the next process to open the store reads back.
      ::sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
      ::sqlite3_wal_autocheckpoint(db_, kCheckpointPages);
      exec(kSchema);
      prepare(kGet, get_);
      prepare(kPut, put_);
      prepare(kListApp, list_app_);
      prepare(kListSection, list_section_);
    } catch (...) {
      close();
      throw;
    }
  }

  ~Store() { close(); }
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  const std::string& path() const noexcept { return path_; }
  pid_t pid() const noexcept { return pid_; }

  std::string get(const std::string& app, const std::string& section, const std::string& key) {
    sqlite3_stmt* s = get_.handle();
    Use use(s);
    bind(s, 1, app);
    bind(s, 2, section);
    bind(s, 3, key);
    const int rc = step(s);
    if (rc == SQLITE_DONE) return {};
    if (rc != SQLITE_ROW) fail(path_, ::sqlite3_errmsg(db_));
    return column(s, 0);
  }

  void put(const std::string& app, const std::string& section, const std::string& key,
           const std::string& value) {
    sqlite3_stmt* s = put_.handle();
    Use use(s);
    bind(s, 1, app);
    bind(s, 2, section);
    bind(s, 3, key);
    bind(s, 4, value);
    if (step(s) != SQLITE_DONE) fail(path_, ::sqlite3_errmsg(db_));
  }

  std::vector<Entry> list(const std::string& app, const std::string* section) {
    sqlite3_stmt* s = section != nullptr ? list_section_.handle() : list_app_.handle();
    std::vector<Entry> entries;
    // A busy step may come in the middle of the rows: start over then.
    const int rc = with_retry([&] {
      ::sqlite3_reset(s);
      entries.clear();
      bind(s, 1, app);
      if (section != nullptr) bind(s, 2, *section);
      int r;
      while ((r = ::sqlite3_step(s)) == SQLITE_ROW) {
        entries.push_back({text::utf8_to_cp949(column(s, 0)), text::utf8_to_cp949(column(s, 1)),
                           text::utf8_to_cp949(column(s, 2))});
      }
      return r;
    });
    Use use(s);
    if (rc != SQLITE_DONE) fail(path_, ::sqlite3_errmsg(db_));
    return entries;
  }

 private:
  // A store the process may only read is still opened for reading: its
  // journal and schema stay as they are, and put() reports the refusal.
  void exec(const char* sql) {
    const int rc = with_retry([&] { return ::sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); });
    if (rc != SQLITE_OK && (rc & 0xFF) != SQLITE_READONLY) fail(path_, ::sqlite3_errmsg(db_));
  }

  void prepare(const char* sql, Statement& stmt) {
    const int rc = with_retry([&] {
      return ::sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt.handle(), nullptr);
    });
    if (rc != SQLITE_OK) fail(path_, ::sqlite3_errmsg(db_));
  }

  static void bind(sqlite3_stmt* s, int index, const std::string& utf8) {
    ::sqlite3_bind_text(s, index, utf8.data(), static_cast<int>(utf8.size()), SQLITE_STATIC);
  }

  static std::string column(sqlite3_stmt* s, int index) {
    const auto* p = reinterpret_cast<const char*>(::sqlite3_column_text(s, index));
    const int n = ::sqlite3_column_bytes(s, index);
    return p != nullptr ? std::string(p, static_cast<std::size_t>(n)) : std::string();
  }

  static int step(sqlite3_stmt* s) {
    return with_retry([&] {
      const int rc = ::sqlite3_step(s);
      if (is_busy(rc)) ::sqlite3_reset(s);
      return rc;
    });
  }

  void close() {
    for (Statement* s : {&get_, &put_, &list_app_, &list_section_}) s->finalize();
    ::sqlite3_close(db_);
    db_ = nullptr;
  }

  std::string path_;
  pid_t pid_;
  sqlite3* db_ = nullptr;
  Statement get_, put_, list_app_, list_section_;
};

std::mutex g_mutex;
std::unique_ptr<Store> g_store;

// The connection for the store $PINK_SETTINGS names now. Called with g_mutex held.
Store& store() {
  const std::string path = store_path();
  if (g_store && g_store->pid() != ::getpid()) {
    // Inherited through fork(): the parent still uses it, so it is neither
    // used nor closed here; it stays referenced until the process ends.
    static std::vector<std::unique_ptr<Store>> inherited;
    inherited.push_back(std::move(g_store));
  }
  if (!g_store || g_store->path() != path) {
    g_store.reset();
    make_default_folder(path);
    g_store = std::make_unique<Store>(path);
  }
  return *g_store;
}

}  // namespace

std::string get(std::string_view app, std::string_view section, std::string_view key) {
  const std::string a = text::cp949_to_utf8(app);
  const std::string s = text::cp949_to_utf8(section);
  const std::string k = text::cp949_to_utf8(key);
  std::lock_guard lock(g_mutex);
  return text::utf8_to_cp949(store().get(a, s, k));
}

void put(std::string_view app, std::string_view section, std::string_view key,
         std::string_view value) {
  const std::string a = text::cp949_to_utf8(app);
  const std::string s = text::cp949_to_utf8(section);
  const std::string k = text::cp949_to_utf8(key);
  const std::string v = text::cp949_to_utf8(value);
  std::lock_guard lock(g_mutex);
  store().put(a, s, k, v);
}

std::vector<Entry> list(std::string_view app, std::optional<std::string_view> section) {
  const std::string a = text::cp949_to_utf8(app);
  const std::string s = section ? text::cp949_to_utf8(*section) : std::string();
  std::lock_guard lock(g_mutex);
  return store().list(a, section ? &s : nullptr);
}

std::string location() { return text::utf8_to_cp949(store_path()); }

}  // namespace pink::settings
