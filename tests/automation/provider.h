// The messaging provider simulator (tools/msgsim) for end-to-end tests: run
// as "msgsim --port 0 --store DIR", it prints "listening on 127.0.0.1:PORT"
// first. Tests that need it skip when it is not built.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/testkit/testkit.h"

namespace pink::msgcall::testing {

class Provider {
 public:
  static bool built() { return std::filesystem::exists(testkit::program("msgsim")); }

  // Starts the simulator; false (with the reason in `error`) when it does not
  // come up.
  bool start(const std::vector<std::string>& extra, std::string& error) {
    std::vector<std::string> args = {"--port", "0", "--store", store.path()};
    args.insert(args.end(), extra.begin(), extra.end());
    process = std::make_unique<testkit::Process>(testkit::program("msgsim"), args);
    const std::string prefix = "listening on 127.0.0.1:";
    const bool up = testkit::wait_until(
        [&] { return process->out().find('\n') != std::string::npos || !process->running(); }, 10000);
    const std::string out = process->out();
    if (!up || out.rfind(prefix, 0) != 0) {
      error = "msgsim did not start: " + out + process->err();
      return false;
    }
    port = static_cast<std::uint16_t>(std::stoi(out.substr(prefix.size())));
    return true;
  }

  // The environment that points the message client at this simulator, with
  // its day log in `log_dir`.
  std::map<std::string, std::string> env(const std::string& log_dir) const {
    const std::string here = "127.0.0.1:" + std::to_string(port);
    return {{"PINK_MSG_PRIMARY", here}, {"PINK_MSG_SECONDARY", here}, {"PINK_MSG_LOGDIR", log_dir}};
  }

  testkit::TempDir store;
  std::unique_ptr<testkit::Process> process;
  std::uint16_t port = 0;
};

}  // namespace pink::msgcall::testing
