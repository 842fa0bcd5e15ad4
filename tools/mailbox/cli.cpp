#include "tools/mailbox/cli.h"

#include <optional>
#include <string_view>

#include "platform/failure.h"
#include "platform/settings.h"

namespace pink::tools {
namespace {

constexpr std::string_view kUsage =
    "usage: mailbox [--app NAME] get SECTION KEY\n"
    "       mailbox [--app NAME] set SECTION KEY VALUE\n"
    "       mailbox [--app NAME] list [SECTION]\n"
    "       mailbox --help | --version\n";

}  // namespace

const std::string_view kMailboxHelp =
    "usage: mailbox [--app NAME] get SECTION KEY\n"
    "       mailbox [--app NAME] set SECTION KEY VALUE\n"
    "       mailbox [--app NAME] list [SECTION]\n"
    "       mailbox --help | --version\n"
    "\n"
    "Reads and writes the settings mailbox that the POS and the suite's programs\n"
    "share. get prints the value (empty when the key does not exist); set writes\n"
    "it, creating section and key; list prints SECTION<TAB>KEY<TAB>VALUE lines.\n"
    "The application is \"pink\" unless --app names another.\n"
    "\n"
    "Configuration:\n"
    "  PINK_SETTINGS  the mailbox database (default ~/.config/pink/settings.db;\n"
    "                 created on first use)\n"
    "\n"
    "Exit status:\n"
    "  0  done\n"
    "  2  bad usage, or the mailbox could not be read or written\n";

namespace {

CliResult usage(std::string message) {
  CliResult r;
  r.status = 2;
  r.err = "mailbox: " + message + "\n" + std::string(kUsage);
  return r;
}

}  // namespace

CliResult mailbox_cli(const std::vector<std::string>& all) {
  std::string app = "pink";
  std::vector<std::string> args;
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (all[i] == "--app") {
      if (i + 1 >= all.size() || all[i + 1].empty()) return usage("--app needs a name");
      app = all[++i];
    } else if (all[i] == "--help" || all[i] == "-h") {
      CliResult r;
      r.out = std::string(kMailboxHelp);
      return r;
    } else {
      args.push_back(all[i]);
    }
  }
  if (args.empty()) return usage("no command");
  const std::string& cmd = args[0];
  CliResult r;
  try {
    if (cmd == "get") {
      if (args.size() != 3) return usage("get takes SECTION KEY");
      r.out = settings::get(app, args[1], args[2]) + "\n";
    } else if (cmd == "set") {
      if (args.size() != 4) return usage("set takes SECTION KEY VALUE");
      settings::put(app, args[1], args[2], args[3]);
    } else if (cmd == "list") {
      if (args.size() > 2) return usage("list takes at most a SECTION");
      std::optional<std::string_view> section;
      if (args.size() == 2) section = args[1];
      for (const auto& e : settings::list(app, section)) {
        r.out += e.section + "\t" + e.key + "\t" + e.value + "\n";
      }
    } else {
      return usage("unknown command '" + cmd + "'");
    }
  } catch (const Failure& f) {
    r.status = 2;
    r.out.clear();
    r.err = "mailbox: " + f.full_text() + "\n";
  }
  return r;
}

}  // namespace pink::tools
