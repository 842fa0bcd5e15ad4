// The one failure path of the programs: what a caught exception stands for,
// and the report of a failure through the program's mailbox keys and its
// standard error.
#pragma once

#include <exception>
#include <functional>
#include <string_view>

#include "platform/failure.h"

namespace pink::mailbox {

// A Failure as it is; any other exception an internal error carrying its text.
Failure as_failure(const std::exception& e);

// Writes the failure's keys through `write_keys`, then prints the failure on
// standard error as "<program>: <text>" (nothing when it has no text). A
// failure of the writes themselves is printed too and goes no further: the
// failure path never throws.
void report_failure(std::string_view program, const Failure& failure,
                    const std::function<void()>& write_keys) noexcept;

// A failure with nowhere to go but standard error (no mailbox to write).
void report_on_console(std::string_view program, const Failure& failure) noexcept;

}  // namespace pink::mailbox
