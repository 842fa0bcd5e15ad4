#include "kitchen/help.h"
#include "kitchen/kitchen.h"
#include "kitchen/resident.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  const auto args = pink::console::arguments(argc, argv);
  if (const auto status = pink::cli::respond(args, pink::kitchen::kKitfeedHelp)) return *status;
  return pink::kitchen::resident_main("kitfeed", args, pink::kitchen::run_kitfeed);
}
