// padctl: drives a signature pad control from the shell, as a POS drives it:
// creates the control by its ProgID through the automation interface
// (libpinkauto), runs one job, prints every call, event and result.
//
//   padctl tallypad --port 3 sign 5000 "감사합니다" --bmp sign.bmp
//   padctl stylpad --port 2 pin --len 4
//   padctl quillpad --port 1 custinfo
//
// See tools/padctl/README.md and --help.
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/help.h"
#include "pink/automation.h"
#include "tools/padctl/options.h"
#include "tools/padctl/session.h"

namespace {

namespace fs = std::filesystem;
using pink::padctl::Family;
using pink::padctl::Options;

constexpr int kUsageStatus = 2;
constexpr int kFailedStatus = 1;

// A folder of padctl's own for what the control must write somewhere but
// the caller did not ask to keep; removed at the end.
class Scratch {
 public:
  ~Scratch() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  const std::string& path() {
    if (path_.empty()) {
      std::string pattern = (fs::temp_directory_path() / "padctl-XXXXXX").string();
      if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
      path_ = pattern;
    }
    return path_;
  }

 private:
  std::string path_;
};

// Where the control writes: the bitmap, the log folder; padctl moves into
// the log folder of a control that logs under its current folder.
pink::padctl::Place place(Options& o, Scratch& scratch) {
  pink::padctl::Place p;
  p.input_fd = STDIN_FILENO;
  p.bmp = o.bmp;
  if (p.bmp.empty() && pink::padctl::needs_bmp(*o.command)) p.bmp = scratch.path() + "/sign.bmp";
  if (o.family->logs == Family::Logs::None) return p;
  if (o.log_dir.empty()) {
    if (o.family->logs == Family::Logs::Argument) p.log_prefix = scratch.path() + "/";
    return p;
  }
  fs::create_directories(o.log_dir);
  if (o.family->logs == Family::Logs::Argument) {
    p.log_prefix = o.log_dir + "/";
    return p;
  }
  if (!p.bmp.empty()) p.bmp = fs::absolute(p.bmp).string();
  if (!o.snapshot.empty()) o.snapshot = fs::absolute(o.snapshot).string();
  fs::current_path(o.log_dir);
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (const auto status = pink::cli::respond(args, "padctl", pink::padctl::usage())) return *status;
  std::string error;
  auto options = pink::padctl::parse_options(args, error);
  if (!options) {
    std::cerr << "padctl: " << error << "\n\n" << pink::padctl::usage();
    return kUsageStatus;
  }
  if (options->help) {
    std::cout << pink::padctl::usage(options->family);
    return 0;
  }
  try {
    Scratch scratch;
    const pink::padctl::Place where = place(*options, scratch);
    pink_object* control = pink_create(std::string(options->family->progid).c_str());
    if (control == nullptr) {
      std::cerr << "padctl: the " << options->family->name << " control (" << options->family->progid
                << ") is not available\n";
      return kFailedStatus;
    }
    int status = kFailedStatus;
    {
      pink::padctl::Session session(control, *options, where, std::cout);
      status = session.run();
    }
    pink_release(control);
    return status;
  } catch (const std::exception& e) {
    std::cerr << "padctl: " << e.what() << "\n";
    return kFailedStatus;
  }
}
