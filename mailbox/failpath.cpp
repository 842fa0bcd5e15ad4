#include "mailbox/failpath.h"

#include <cstdio>
#include <string>

#include "platform/text.h"

namespace pink::mailbox {

Failure as_failure(const std::exception& e) {
  if (const auto* f = dynamic_cast<const Failure*>(&e)) return *f;
  return Failure(Err::InternalError, describe(Err::InternalError), e.what());
}

void report_on_console(std::string_view program, const Failure& failure) noexcept {
  try {
    if (failure.full_text().empty()) return;
    const std::string line = std::string(program) + ": " + text::cp949_to_utf8(failure.full_text());
    std::fprintf(stderr, "%s\n", line.c_str());
  } catch (...) {
    // Standard error is the last resort; there is nothing behind it.
  }
}

void report_failure(std::string_view program, const Failure& failure,
                    const std::function<void()>& write_keys) noexcept {
  try {
    write_keys();
  } catch (const std::exception& again) {
    report_on_console(program, as_failure(again));
  } catch (...) {
  }
  report_on_console(program, failure);
}

}  // namespace pink::mailbox
