#include <exception>

#include "cli/help.h"
#include "handheld/hx410.h"
#include "platform/console.h"
#include "platform/msgbox.h"

int main(int argc, char** argv) {
  try {
    const auto args = pink::console::arguments(argc, argv);
    if (const auto status = pink::cli::respond(args, "hx410", pink::handheld::help_text())) return *status;
    return pink::handheld::run_hx410(args);
  } catch (const std::exception& e) {
    pink::msgbox::show(e.what(), "HX410");
    return pink::handheld::kExitTransferFailed;
  }
}
