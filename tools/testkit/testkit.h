// Test kit: temporary folders and settings stores, scoped environment
// variables and running the suite's real programs. Linux only; used by the
// tests and by the virtual-device tools.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pink::testkit {

// A fresh folder under $TMPDIR (or /tmp), removed with its content at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const noexcept { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Writes a file under the folder (folders on the way are created).
  void write(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;
  void mkdir(const std::string& name) const;

 private:
  std::string path_;
};

// Sets (or unsets, with nullopt) an environment variable for the scope.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, std::optional<std::string> value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// A settings store of its own in a temporary folder; $PINK_SETTINGS points to
// it for the scope (in this process and the programs it runs).
class TempStore {
 public:
  TempStore();
  const std::string& path() const noexcept { return db_; }
  const TempDir& dir() const noexcept { return dir_; }

 private:
  TempDir dir_;
  std::string db_;
  ScopedEnv env_;
};

struct RunResult {
  int exit_code = -1;     // exit status, or 128 + signal
  bool timed_out = false;
  std::string out;        // standard output
  std::string err;        // standard error
};

struct RunOptions {
  std::string cwd;                                        // "" = current folder
  std::map<std::string, std::string> env;                 // added to the environment
  std::uint32_t timeout_ms = 20000;                       // killed after this
  std::string input;                                      // standard input
};

// Runs a program and waits for it.
RunResult run(const std::string& program, const std::vector<std::string>& args,
              const RunOptions& options = {});

// A program left running (resident programs); killed at the end if still up.
class Process {
 public:
  Process(const std::string& program, const std::vector<std::string>& args,
          const RunOptions& options = {});
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  bool running();
  // Sends SIGTERM and waits up to timeout_ms; returns the exit code (or -1).
  int terminate(std::uint32_t timeout_ms = 5000);
  // Waits for the end up to timeout_ms; returns the exit code or nullopt.
  std::optional<int> wait(std::uint32_t timeout_ms);
  // What the program printed so far on standard output / error.
  std::string out();
  std::string err();

 private:
  void drain(int timeout_ms);
  int pid_ = -1;
  int out_fd_ = -1, err_fd_ = -1;
  std::string out_, err_;
  std::optional<int> exit_;
};

// Runs a Python 3 script ("python3 -c SCRIPT ARGS...") the way a POS written in
// Python loads the suite's libraries with ctypes: its own interpreter, its own
// folder (options.cwd), no search path pointing at the build. In a sanitizer
// build the sanitizer runtime is preloaded into the uninstrumented
// interpreter, so the instrumented libraries load and are checked there too.
// The suite's Python binding `pinkauto` is importable (PYTHONPATH is the
// folder of the built libraries unless options.env names another).
RunResult run_python(const std::string& script, const std::vector<std::string>& args,
                     const RunOptions& options = {});

// The folder of the built programs and libraries (build/<preset>/bin).
std::string bin_dir();
// bin_dir() + "/" + name.
std::string program(const std::string& name);

// Polls `check` every 10 ms until it returns true or `timeout_ms` passes.
bool wait_until(const std::function<bool()>& check, std::uint32_t timeout_ms);

}  // namespace pink::testkit
