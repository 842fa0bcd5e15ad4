#include <exception>

#include "handheld/hx410.h"
#include "platform/console.h"
#include "platform/msgbox.h"

int main(int argc, char** argv) {
  try {
    return pink::handheld::run_hx410(pink::console::arguments(argc, argv));
  } catch (const std::exception& e) {
    pink::msgbox::show(e.what(), "HX410");
    return pink::handheld::kExitTransferFailed;
  }
}
