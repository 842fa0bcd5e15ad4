#include "kitchen/help.h"
#include "kitchen/kitchen.h"
#include "kitchen/resident.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  const auto args = pink::console::arguments(argc, argv);
  if (const auto status = pink::cli::respond(args, pink::kitchen::kKitmuxHelp)) return *status;
  return pink::kitchen::resident_main("kitmux", args, pink::kitchen::run_kitmux);
}
