#include "kitchen/help.h"
#include "kitchen/kitchen.h"

int main(int argc, char** argv) {
  if (const auto status = pink::cli::respond(argc, argv, pink::kitchen::kKitchenBHelp)) return *status;
  return pink::kitchen::run_kitchen(pink::kitchen::kKitchenB);
}
