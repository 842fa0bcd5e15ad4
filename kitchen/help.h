// The "--help" texts of the kitchen programs, one per program.
#pragma once

#include "cli/help.h"

namespace pink::kitchen {

extern const cli::Help kKitchenHelp;
extern const cli::Help kKitchenBHelp;
extern const cli::Help kKitmuxHelp;
extern const cli::Help kKitfeedHelp;

}  // namespace pink::kitchen
