#include "display/pds.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  return pink::display::pds::main_with(pink::console::arguments(argc, argv));
}
