// The mailbox command line: read and write the settings mailbox by hand.
//
//   mailbox [--app NAME] get SECTION KEY
//   mailbox [--app NAME] set SECTION KEY VALUE
//   mailbox [--app NAME] list [SECTION]
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pink::tools {

struct CliResult {
  int status = 0;    // 0 success, 2 bad usage or a store that cannot be used
  std::string out;   // cp949
  std::string err;   // cp949
};

CliResult mailbox_cli(const std::vector<std::string>& args);

// The --help text: usage, configuration and exit statuses.
extern const std::string_view kMailboxHelp;

}  // namespace pink::tools
