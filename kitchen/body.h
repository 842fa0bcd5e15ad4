// The kitchen spoolers' body lines and the drain of the serial output.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "kitchen/signals.h"
#include "mailbox/jobfile.h"
#include "mailbox/output.h"
#include "platform/comm.h"

namespace pink::kitchen {

using EditFn = std::function<std::string(std::string_view line)>;

// Sends every remaining body line as the model profile says: Korean
// double-byte mode (where the dialect honours it), edited lines, otherwise
// the line with the NUL token applied where the model takes it and the line
// end in one write. Returns the number of bytes sent.
std::size_t send_body(mailbox::JobFile& job, std::string_view model, const Dialect& dialect,
                      mailbox::Sink& out, const EditFn& edit);

// How long the output of `bytes_sent` bytes may take to drain: twice their
// line time at `baud` (ten bits a byte) plus five seconds.
std::uint64_t drain_limit_ms(std::size_t bytes_sent, std::uint32_t baud);

// Reads `out_count` until it gives 0, letting `pump` run between reads; past
// `limit_ms` the job fails (57, with a text saying the output did not drain).
void drain(const std::function<int()>& out_count, std::uint64_t limit_ms,
           const std::function<void()>& pump);

// Drains the serial control's output buffer within drain_limit_ms().
void drain(comm::CommControl& port, std::size_t bytes_sent, const std::function<void()>& pump);

}  // namespace pink::kitchen
