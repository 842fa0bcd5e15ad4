// mailbox: reads and writes the settings mailbox from the command line, for
// POS integrators and for tests.
#include "cli/help.h"
#include "platform/console.h"
#include "tools/mailbox/cli.h"

int main(int argc, char** argv) {
  const auto args = pink::console::arguments(argc, argv);
  if (const auto status = pink::cli::respond(args, "mailbox", pink::tools::kMailboxHelp)) return *status;
  const auto r = pink::tools::mailbox_cli(args);
  pink::console::out(r.out);
  pink::console::err(r.err);
  return r.status;
}
