// mailbox: reads and writes the settings mailbox from the command line, for
// POS integrators and for tests.
#include "platform/console.h"
#include "tools/mailbox/cli.h"

int main(int argc, char** argv) {
  const auto r = pink::tools::mailbox_cli(pink::console::arguments(argc, argv));
  pink::console::out(r.out);
  pink::console::err(r.err);
  return r.status;
}
