// The handheld terminal's side of a transfer, played on a virtual port:
// ENQ, then each record as STX record ETX, then the end marker ">", each
// waiting for the program's ACK within a bounded time. Linux only.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/testkit/vport.h"

namespace pink::vhandy {

// The records of a file: one per line (lines end with LF or CR LF; the text
// after a final line break is no record). `error` is set, and no record is
// given, when a line holds ETX, which would end its record early.
struct Records {
  std::vector<std::string> records;
  std::string error;
};
Records records_from(std::string_view file_bytes);

// Bytes as shown in the log: cp949 text as UTF-8, every control byte (and
// "<" itself) as <hh>.
std::string shown(std::string_view cp949);

struct Timing {
  std::uint32_t first_ack_ms = 30000;  // for the ACK of the ENQ (the program may still be starting)
  std::uint32_t ack_ms = 3000;         // for every later ACK
};

class Terminal {
 public:
  // `interrupted` is asked while waiting; a non-empty answer (why) ends the wait.
  Terminal(testkit::VirtualPort& port, std::ostream& log, Timing timing,
           std::function<std::string()> interrupted);

  // Plays the whole exchange. True when the ENQ, every record and the end
  // marker were each answered by one ACK and nothing else came; the log
  // says what was sent and received, and what went wrong.
  bool play(const std::vector<std::string>& records);

  std::size_t acknowledged_records() const noexcept { return acknowledged_; }

 private:
  bool send_and_wait(std::string_view bytes, const std::string& what, std::uint32_t wait_ms);

  testkit::VirtualPort& port_;
  std::ostream& log_;
  Timing timing_;
  std::function<std::string()> interrupted_;
  std::size_t acknowledged_ = 0;
  bool unexpected_ = false;
};

}  // namespace pink::vhandy
