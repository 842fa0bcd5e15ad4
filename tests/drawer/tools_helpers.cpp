#include "tests/drawer/tools_helpers.h"

#include <sys/stat.h>

#include <sstream>
#include <stdexcept>

namespace pink::testing {

std::vector<LoggedRequest> logged_requests(const std::string& log) {
  static const std::regex kLine(
      R"(^(\d+\.\d{3}) request code=0x([0-9A-F]{8}) role=(\S+) )"
      R"(in=([0-9A-F]*) out=(\d+) (accepted|refused) ?(.*)$)");
  std::vector<LoggedRequest> out;
  std::istringstream in(log);
  std::string line;
  std::smatch m;
  while (std::getline(in, line)) {
    if (!std::regex_match(line, m, kLine)) continue;
    LoggedRequest r;
    r.t_ms = std::stod(m[1]);
    r.code = static_cast<std::uint32_t>(std::stoul(m[2], nullptr, 16));
    r.role = m[3];
    r.input = m[4];
    r.output_size = static_cast<unsigned>(std::stoul(m[5]));
    r.accepted = m[6] == "accepted";
    r.rest = m[7];
    out.push_back(r);
  }
  return out;
}

std::optional<double> logged_time(const std::string& log, const std::string& what) {
  std::istringstream in(log);
  std::string line;
  while (std::getline(in, line)) {
    const auto space = line.find(' ');
    if (space != std::string::npos && line.compare(space + 1, what.size(), what) == 0) {
      return std::stod(line.substr(0, space));
    }
  }
  return std::nullopt;
}

Server::Server(const std::string& program, const std::vector<std::string>& args, const std::string& dir)
    : env_("PINK_DRAWERDIR", dir) {
  process_ = std::make_unique<testkit::Process>(program, args);
  ready_ = testkit::wait_until(
      [&] { return process_->out().find(" ready path=") != std::string::npos || !process_->running(); },
      10000) &&
           process_->out().find(" ready path=") != std::string::npos;
}

std::vector<std::string> with_stdin_from(const std::string& fifo, const std::string& program,
                                         const std::vector<std::string>& args) {
  if (::mkfifo(fifo.c_str(), 0600) != 0) throw std::runtime_error("mkfifo " + fifo);
  std::vector<std::string> argv{"-c", "exec \"$0\" \"$@\" < \"" + fifo + "\"", program};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

}  // namespace pink::testing
