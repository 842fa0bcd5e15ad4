#include "kitchen/kitchen.h"
#include "kitchen/resident.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  return pink::kitchen::resident_main("kitfeed", pink::console::arguments(argc, argv), pink::kitchen::run_kitfeed);
}
