#include "cli/help.h"
#include "display/pds.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  const auto args = pink::console::arguments(argc, argv);
  if (const auto status = pink::cli::respond(args, "pds", pink::display::pds::help_text())) return *status;
  return pink::display::pds::main_with(args);
}
